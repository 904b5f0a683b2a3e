// Indentation as nested lists, language changes and deleted text.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

int tt_stm(fmt_info *rec, std::int32_t code);
int tt_slg(fmt_info *rec, std::int32_t code);
// Deleted text: dropped up to the separator that ends it (no code of the table
// leads here; the closing selector ends it).
int tt_dtx(fmt_info *rec, std::int32_t code);
void reset_indent_language();

}  // namespace kiv
