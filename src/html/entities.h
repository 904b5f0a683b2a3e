// Characters of the stream's character sets and character codes, turned into
// entities by level.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

int tt_ucs(fmt_info *rec, std::int32_t code);
int tt_xcs(fmt_info *rec, std::int32_t code);

}  // namespace kiv
