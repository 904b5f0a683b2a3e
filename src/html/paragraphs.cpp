// Paragraph layout: breaks, alignment, tabs and centred or right-aligned blocks.
#include "html/paragraphs.h"

#include "stream/code_numbers.h"

namespace kiv {

// Skips its code until this group of codes is carried out.
int tt_single(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_just(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_center(fmt_info *, std::int32_t) { return x_icf(); }

}  // namespace kiv
