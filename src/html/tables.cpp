// Tables and column layouts.
#include "html/tables.h"

#include <array>
#include <limits>

#include "html/attributes_fonts.h"
#include "html/output.h"
#include "html/shading.h"
#include "html/writer.h"
#include "runtime/options.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"

namespace kiv {

TablesState tables;

namespace {

constexpr std::int32_t cds_real_table = 8;   // CDS flag: a table, not a column layout
constexpr std::int32_t twips_per_point = 20;

// Closes the open cell with the tag it was opened with: TH for a cell of a
// header row under the option word HEADERROWS, TD otherwise. Table markup is
// put together in a piece and written in one call.
void add_cell_end(MarkupPiece &piece) {
  piece.add(tables.header_cell_open ? "</TH>" : "</TD>", own_line);
  tables.header_cell_open = 0;
}

// Writes a held table start tag, closed, when its table ends or another
// begins before it had a row.
void close_held_start() {
  if (tables.held_start.empty()) return;
  tables.held_start.add(">", end_line);
  tables.held_start.write();
}

void count_row(std::int32_t &rows) {
  if (rows < std::numeric_limits<std::int32_t>::max()) ++rows;
}

void begin_table(fmt_info *rec) {
  const std::int32_t flags = get_hex();
  const std::int32_t columns = get_dec();  // the column positions that follow are not used
  rec->saved_align = rec->align;
  rec->col_count = columns;
  tables.prev_cell_ignore = 0;  // no cell of this table yet
  tables.header_cell_open = 0;
  if (flags & cds_real_table) {
    close_held_start();  // a table that had no row
    MarkupPiece &start = tables.held_start;
    start.add("<TABLE");
    switch ((flags & 0xF0) >> 4) {
      case 1: start.add(" ALIGN=JUSTIFY"); break;
      case 2: start.add(" ALIGN=CENTER"); break;
      case 3: start.add(" ALIGN=RIGHT"); break;
      default: break;
    }
    rec->in_table = 1;
    rec->cur_col = -1;
    rec->row_count = 0;
    if (rec->table_shade != 0) add_background(start, rec->table_shade, rec->table_rgb);
    // The start tag stays open: the first row adds the border and closes it.
    // An untrusted document's waits for that row, so that nothing lands inside it.
    if (!settings.untrusted_output) start.write();
  } else {
    rec->in_columns = 1;
    MarkupPiece piece;
    piece.add("<TABLE>", own_line);
    piece.add("<TR>", end_line);
    piece.add("<TD VALIGN=TOP>", end_line);
    piece.add("<HR>", end_line);
    piece.write();
    rec->cur_col = 1;
    BeginFont(rec, rec->font, 1);
  }
}

void begin_row(fmt_info *rec) {
  std::array<std::int32_t, 4> params;
  get_decs(params.data(), static_cast<int>(params.size()));
  rec->row_height = params[2];
  const std::int32_t border = params[3];
  // A fifth parameter of 1 marks a header row; read only under HEADERROWS.
  const bool header = settings.header_rows != 0 && get_dec() == 1;
  MarkupPiece piece;
  if (rec->in_table && rec->row_count == 0) {
    tables.held_start.write();
    if (border != 0) piece.add(" BORDER=1 CELLSPACING=1");
    piece.add(">", end_line);
  }
  if (rec->row_count != 0) {
    if (!tables.prev_cell_ignore) {
      piece.write();
      EndFont(rec);
      add_cell_end(piece);
    }
    piece.add("</TR>", end_line);
  }
  piece.add("<TR>", end_line);
  piece.write();
  tables.header_row = header ? 1 : 0;
  rec->cur_col = -1;
  count_row(rec->row_count);
}

void begin_cell(fmt_info *rec) {
  std::array<std::int32_t, 7> params;
  get_decs(params.data(), static_cast<int>(params.size()));
  const std::int32_t column = params[0];
  const std::int32_t column_span = params[1];
  const std::int32_t row_span = params[2];
  const std::int32_t covered = params[3];
  const std::int32_t horizontal = params[4];
  const std::int32_t vertical = params[6];

  MarkupPiece piece;
  if (rec->cur_col != -1 && !tables.prev_cell_ignore) add_cell_end(piece);
  rec->cur_col = column < 1 ? 1 : column;
  tables.prev_cell_ignore = covered != 0 ? 1 : 0;
  if (covered != 0) {
    piece.write();
    return;  // covered by a neighbour's span: no cell of its own
  }

  tables.header_cell_open = tables.header_row;
  piece.add(tables.header_cell_open ? "<TH" : "<TD");
  if (column_span > 1) {
    piece.add(" COLSPAN=");
    piece.add_num(column_span);
  }
  if (row_span > 1) {
    piece.add(" ROWSPAN=");
    piece.add_num(row_span);
  }
  switch (horizontal) {
    case 1:
    case 5: piece.add(" ALIGN=JUSTIFY"); break;
    case 2: piece.add(" ALIGN=CENTER"); break;
    case 3: piece.add(" ALIGN=RIGHT"); break;
    case 4: piece.add(" ALIGN=DECIMAL"); break;
    default: break;
  }
  switch (vertical) {
    case 0: piece.add(" VALIGN=TOP"); break;
    case 1: piece.add(" VALIGN=BOTTOM"); break;
    case 2: piece.add(" VALIGN=MIDDLE"); break;
    default: break;
  }
  if (rec->row_height != 0 && row_span < 2) {
    piece.add(" HEIGHT=");
    // Deliberate: unsigned division, so a missing height (-1) gives a large number.
    piece.add_num(static_cast<std::int32_t>(static_cast<std::uint32_t>(rec->row_height) / twips_per_point));
  }
  piece.add(">", end_line);
  piece.write();
  rec->align = align_left;
  BeginFont(rec, rec->font, 1);
}

void column_break(fmt_info *rec, bool soft) {
  if (!rec->in_columns) return;
  EndFont(rec);
  MarkupPiece piece;
  piece.add("</TD>", own_line);
  if (rec->cur_col < std::numeric_limits<std::int32_t>::max()) ++rec->cur_col;
  if (static_cast<std::uint32_t>(rec->cur_col) > static_cast<std::uint32_t>(rec->col_count)) {
    // The columns wrap into a new row.
    piece.add("</TR>", end_line);
    piece.add("<TR>", end_line);
    rec->cur_col = 1;
  }
  piece.add("<TD VALIGN=TOP>", end_line);
  piece.write();
  rec->align = align_left;
  BeginFont(rec, rec->font, 1);
  put_str("<HR>", end_line);
  if (soft && rec->indent != 0) {
    // The list levels are opened again in the new column.
    rec->indent_out = 0;
    rec->line_has_text = 0;
    rec->changed = 1;
  }
}

void end_table(fmt_info *rec) {
  close_held_start();
  MarkupPiece piece;
  add_cell_end(piece);
  piece.add("</TR>", end_line);
  piece.add("</TABLE>", end_line);
  piece.write();
  tables.header_row = 0;
  if (rec->in_table) {
    rec->in_table = 0;
    rec->table_shade = 0;  // shading applies to one table
  }
  rec->align = rec->saved_align;
  rec->in_columns = 0;
  BeginFont(rec, rec->font, 1);
}

}  // namespace

int tt_cds(fmt_info *rec, std::int32_t code_number) {
  if (writer.ver_code < 2) return x_icf();
  CheckChanged(rec);
  EndFont(rec);
  switch (code_number) {
    case code("CDS"): begin_table(rec); break;
    case code("BRO"): begin_row(rec); break;
    case code("BCO"): begin_cell(rec); break;
    case code("HCB"): column_break(rec, false); break;
    case code("SCB"): column_break(rec, true); break;
    case code("ECM"): end_table(rec); break;
    default: break;
  }
  x_icf();
  return 0;
}

void reset_tables() { tables = {}; }

}  // namespace kiv
