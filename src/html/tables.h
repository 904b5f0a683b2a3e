// Tables and column layouts, and shading of tables and of the page.
#pragma once

#include <array>
#include <cstdint>

#include "html/format_record.h"

namespace kiv {

int tt_cds(fmt_info *rec, std::int32_t code);
// SHD: shading of the next table (type 4) or of the page (type 6).
int tt_shd(fmt_info *rec, std::int32_t code);
// The background colour for a shading percentage (not 0): below 50 percent the
// colour is pushed towards grey; the change is stored back into rgb.
void background_colour(std::int32_t shade, std::array<std::int32_t, 3> &rgb);

}  // namespace kiv
