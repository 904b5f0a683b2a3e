// Images and embedded objects in the output.
#include "html/images_objects.h"

#include "stream/code_numbers.h"

namespace kiv {

// Skips its code until this group of codes is carried out.
int tt_igr(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_pds(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_fic(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_ole(fmt_info *, std::int32_t) { return x_icf(); }

}  // namespace kiv
