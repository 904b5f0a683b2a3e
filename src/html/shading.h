// Shading: the SHD code's shading of the next table and of the page, and the
// background colour it becomes on a table or on the document's body.
#pragma once

#include <array>
#include <cstdint>

#include "html/format_record.h"
#include "html/output.h"

namespace kiv {

// SHD: shading of the next table (type 4) or of the page (type 6), at any
// level; a colour value outside 0 to 255 becomes 0. 0.
int tt_shd(fmt_info *rec, std::int32_t code);
// The background colour for a shading percentage (not 0): below 50 percent the
// colour is pushed towards grey; the change is stored back into rgb.
void background_colour(std::int32_t shade, std::array<std::int32_t, 3> &rgb);
// The BGCOLOR attribute, with a leading space, for a shading percentage (not
// 0) and its colour, which background_colour adjusts first: added to a piece
// of markup, or written.
void add_background(MarkupPiece &piece, std::int32_t shade, std::array<std::int32_t, 3> &rgb);
void put_background(std::int32_t shade, std::array<std::int32_t, 3> &rgb);

}  // namespace kiv
