// Paragraph layout: breaks, alignment, tabs and centred or right-aligned blocks.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

int tt_single(fmt_info *rec, std::int32_t code);
int tt_just(fmt_info *rec, std::int32_t code);
int tt_center(fmt_info *rec, std::int32_t code);

}  // namespace kiv
