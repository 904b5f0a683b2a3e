// Tables and column layouts at level 3 (rows, cells, spans, alignment, heights,
// borders, background).
#pragma once

#include <array>
#include <cstdint>

#include "html/format_record.h"
#include "html/output.h"

namespace kiv {

struct TablesState {
  // 1 when the last BCO was a cell covered by a neighbour's span: no TD was
  // opened for it, so none is closed.
  std::int32_t prev_cell_ignore = 0;
  // Under the option word HEADERROWS: the current row is a header row (its
  // BRO has a fifth parameter of 1), and the open cell was written as TH.
  std::int32_t header_row = 0;
  std::int32_t header_cell_open = 0;
  // An untrusted document's table start tag, as far as its CDS gives it, held
  // back until the first row closes it: whatever the document puts between
  // the two then goes before the table, never inside its tag.
  MarkupPiece held_start;
};
extern TablesState tables;

// CDS (table or column layout begins), BRO (row), BCO (cell), HCB and SCB
// (column breaks of a column layout), ECM (table or layout ends). At level 3
// each first brings the tags up to date and closes the FONT tag; cells reopen
// it. At levels 1 and 2 the codes are skipped and the cell texts follow one
// another. 0.
int tt_cds(fmt_info *rec, std::int32_t code);
void reset_tables();

}  // namespace kiv
