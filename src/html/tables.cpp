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
// header row under the option word HEADERROWS, TD otherwise.
void put_cell_end() {
  put_str(tables.header_cell_open ? "</TH>" : "</TD>", own_line);
  tables.header_cell_open = 0;
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
    put_str("<TABLE");
    switch ((flags & 0xF0) >> 4) {
      case 1: put_str(" ALIGN=JUSTIFY"); break;
      case 2: put_str(" ALIGN=CENTER"); break;
      case 3: put_str(" ALIGN=RIGHT"); break;
      default: break;
    }
    rec->in_table = 1;
    rec->cur_col = -1;
    rec->row_count = 0;
    if (rec->table_shade != 0) put_background(rec->table_shade, rec->table_rgb);
    // The start tag stays open: the first row adds the border and closes it.
  } else {
    rec->in_columns = 1;
    put_str("<TABLE>", own_line);
    put_str("<TR>", end_line);
    put_str("<TD VALIGN=TOP>", end_line);
    put_str("<HR>", end_line);
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
  if (rec->in_table && rec->row_count == 0) {
    if (border != 0) put_str(" BORDER=1 CELLSPACING=1");
    put_str(">", end_line);
  }
  if (rec->row_count != 0) {
    if (!tables.prev_cell_ignore) {
      EndFont(rec);
      put_cell_end();
    }
    put_str("</TR>", end_line);
  }
  put_str("<TR>", end_line);
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

  if (rec->cur_col != -1 && !tables.prev_cell_ignore) put_cell_end();
  rec->cur_col = column < 1 ? 1 : column;
  tables.prev_cell_ignore = covered != 0 ? 1 : 0;
  if (covered != 0) return;  // covered by a neighbour's span: no cell of its own

  tables.header_cell_open = tables.header_row;
  put_str(tables.header_cell_open ? "<TH" : "<TD");
  if (column_span > 1) {
    put_str(" COLSPAN=");
    put_num(column_span);
  }
  if (row_span > 1) {
    put_str(" ROWSPAN=");
    put_num(row_span);
  }
  switch (horizontal) {
    case 1:
    case 5: put_str(" ALIGN=JUSTIFY"); break;
    case 2: put_str(" ALIGN=CENTER"); break;
    case 3: put_str(" ALIGN=RIGHT"); break;
    case 4: put_str(" ALIGN=DECIMAL"); break;
    default: break;
  }
  switch (vertical) {
    case 0: put_str(" VALIGN=TOP"); break;
    case 1: put_str(" VALIGN=BOTTOM"); break;
    case 2: put_str(" VALIGN=MIDDLE"); break;
    default: break;
  }
  if (rec->row_height != 0 && row_span < 2) {
    put_str(" HEIGHT=");
    // Deliberate: unsigned division, so a missing height (-1) gives a large number.
    put_num(static_cast<std::int32_t>(static_cast<std::uint32_t>(rec->row_height) / twips_per_point));
  }
  put_str(">", end_line);
  rec->align = align_left;
  BeginFont(rec, rec->font, 1);
}

void column_break(fmt_info *rec, bool soft) {
  if (!rec->in_columns) return;
  EndFont(rec);
  put_str("</TD>", own_line);
  if (rec->cur_col < std::numeric_limits<std::int32_t>::max()) ++rec->cur_col;
  if (static_cast<std::uint32_t>(rec->cur_col) > static_cast<std::uint32_t>(rec->col_count)) {
    // The columns wrap into a new row.
    put_str("</TR>", end_line);
    put_str("<TR>", end_line);
    rec->cur_col = 1;
  }
  put_str("<TD VALIGN=TOP>", end_line);
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
  put_cell_end();
  put_str("</TR>", end_line);
  put_str("</TABLE>", end_line);
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
