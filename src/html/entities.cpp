// Characters of the stream's character sets and character codes, turned into
// entities by level.
#include "html/entities.h"

#include "stream/code_numbers.h"

namespace kiv {

// Skips its code until this group of codes is carried out.
int tt_ucs(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_xcs(fmt_info *, std::int32_t) { return x_icf(); }

}  // namespace kiv
