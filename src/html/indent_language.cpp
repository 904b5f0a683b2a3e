// Indentation as nested lists, language changes and deleted text.
#include "html/indent_language.h"

#include "stream/code_numbers.h"

namespace kiv {

// Skips its code until this group of codes is carried out.
int tt_stm(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_slg(fmt_info *, std::int32_t) { return x_icf(); }

int tt_dtx(fmt_info *, std::int32_t) { return x_icf(); }

void reset_indent_language() {}

}  // namespace kiv
