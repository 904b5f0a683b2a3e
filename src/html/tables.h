// Tables and column layouts at level 3 (rows, cells, spans, alignment, heights,
// borders, background), and shading of tables and of the page.
#pragma once

#include <array>
#include <cstdint>

#include "html/format_record.h"

namespace kiv {

struct TablesState {
  // 1 when the last BCO was a cell covered by a neighbour's span: no TD was
  // opened for it, so none is closed.
  std::int32_t prev_cell_ignore = 0;
};
extern TablesState tables;

// CDS (table or column layout begins), BRO (row), BCO (cell), HCB and SCB
// (column breaks of a column layout), ECM (table or layout ends). At level 3
// each first brings the tags up to date and closes the FONT tag; cells reopen
// it. At levels 1 and 2 the codes are skipped and the cell texts follow one
// another. 0.
int tt_cds(fmt_info *rec, std::int32_t code);
// SHD: shading of the next table (type 4) or of the page (type 6), at any
// level; a colour value outside 0 to 255 becomes 0. 0.
int tt_shd(fmt_info *rec, std::int32_t code);
// The background colour for a shading percentage (not 0): below 50 percent the
// colour is pushed towards grey; the change is stored back into rgb.
void background_colour(std::int32_t shade, std::array<std::int32_t, 3> &rgb);
void reset_tables();

}  // namespace kiv
