// The RTF reader: a state machine over the tokens of an RTF file. Each group
// keeps its character and paragraph format and its destination on a bounded
// stack; text is decoded by the code page in force and written at once, with
// the codes that bring the stream's format up to date written just before it.
#include "rtf_reader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "common/ascii.h"
#include "common/types.h"
#include "rtf_code_pages.h"
#include "rtf_control_words.h"
#include "rtf_kept_tokens.h"
#include "rtf_lists.h"
#include "rtf_pictures.h"
#include "rtf_stream_output.h"
#include "stream/code_numbers.h"

namespace kiv {
namespace {

enum class Dest : std::uint8_t {
  text, skip, fonttbl, colortbl, info, info_text, info_date, fldinst, bookmark, picture, list_table, override_table,
  level_text, shape_instance, shape_name, shape_picture
};
enum class OnClose : std::uint8_t { none, subdoc, field, fldrslt, bookmark, info, info_date, picture };

struct ParaFormat {
  std::uint8_t align = 0;  // 0 left, 1 justified, 2 centred, 3 right, as the stream counts them
  bool in_table = false;
  std::int32_t left_indent = 0;  // twips
  std::int32_t list = 0;         // \ls: the list instance the paragraph is an item of; 0 none
  std::int32_t list_level = 0;   // \ilvl
};

struct GroupState {
  CharFormat chr;
  ParaFormat para;
  Dest dest = Dest::text;
  OnClose on_close = OnClose::none;
  std::int8_t info_field = 0;
  std::int32_t uc = 1;  // characters that stand in for a \u character
};

struct FontEntry {
  std::int32_t number = -1;
  std::int32_t code_page = 0;  // 0: the document's
  bool complete = false;       // its name ended with ";"
  char face[font_face_max + 1] = {};
};

struct ColorEntry {
  bool defined = false;
  std::int32_t red = 0, green = 0, blue = 0;
};

struct CellDef {
  std::int32_t right = 0;
  bool merge_first = false, merged = false, vmerge_first = false, vmerged = false;
  std::uint8_t valign = 0;  // 0 top, 1 bottom, 2 middle, as the stream counts them
};

struct RowDef {
  std::array<CellDef, rtf_cell_max> cells{};
  int count = 0;
  CellDef pending;
  bool border = false;
  bool border_context = false;  // the last border word named a cell or row side
  std::int32_t height = 0;
  std::uint8_t align = 0;
  bool header = false;  // \trhdr: a header row, repeated on every page
};

struct FieldState {
  char instruction[1024] = {};
  std::size_t len = 0;
  bool link_open = false;
};

// Summary fields of the information group, in the stream's field order.
enum InfoField : std::int8_t { info_subject, info_author, info_comment, info_keywords, info_operator,
                               info_created, info_revised, info_title, info_field_count };
constexpr std::array<int, info_field_count> info_field_position = {1, 2, 3, 4, 5, 6, 7, 21};
constexpr int summary_field_count = 21;
constexpr std::size_t info_text_max = 255;

struct ReaderState {
  std::array<GroupState, rtf_group_depth_max> groups{};
  int depth = 0;
  int overflow = 0;            // groups deeper than the stack, sharing its top
  bool ignorable = false;      // \* seen: the next word must be a known destination
  std::int32_t skip_chars = 0; // characters still to skip after \u
  std::int32_t document_code_page = code_page_default;
  std::int32_t default_font = -1;
  bool done = false;

  std::array<FontEntry, rtf_font_max> fonts{};
  int font_count = 0;
  int current_font_entry = -1;
  std::array<std::int16_t, rtf_font_max> font_slot = filled_array<rtf_font_max, std::int16_t>(-1);

  std::array<ColorEntry, rtf_color_max> colors{};
  int color_count = 0;

  RowDef row;
  std::array<std::int32_t, rtf_cell_max> grid{};  // right edges of the open table's columns
  int grid_count = 0;
  std::array<FieldState, rtf_field_depth_max> fields{};
  int field_depth = 0;
  char bookmark[256] = {};
  std::size_t bookmark_len = 0;
  // A shape (\shp): the name of the property being read in its instance, and
  // whether its picture (property "pib") was written, which makes the
  // shape's result, the same picture for readers that know no shapes, void.
  char shape_property[8] = {};
  std::size_t shape_property_len = 0;
  bool shape_picture_written = false;

  std::array<std::array<char, info_text_max + 1>, info_field_count> info{};
  std::array<std::int32_t, 5> date{};  // year, month, day, hour, minute

  ListTables lists;
  const ListLevel *marker_level = nullptr;  // the level of the marker below
  std::array<char32_t, rtf_marker_max> marker{};
  int marker_len = 0;
  OutputState out;
  OutputState saved_out;
  RtfKeptTokens kept;  // the tokens of a table read ahead, for the main reading
  bool in_subdoc = false;
  bool subdoc_is_note = false;
  bool note_pending = false;   // \footnote seen; its code waits for a possible \ftnalt
  bool note_is_endnote = false;
  std::int32_t footnote_count = 0, endnote_count = 0;
  bool ready = false;          // the stream's format matches: text may be written at once
  RtfInput *input = nullptr;
};
ReaderState reader;

GroupState &top() { return reader.groups[static_cast<std::size_t>(reader.depth - 1)]; }

// ---- fonts and colours --------------------------------------------------------

FontEntry *find_font(std::int32_t number) {
  if (number >= 0 && number < rtf_font_max) {
    const int slot = reader.font_slot[static_cast<std::size_t>(number)];
    return slot < 0 ? nullptr : &reader.fonts[static_cast<std::size_t>(slot)];
  }
  for (int k = 0; k < reader.font_count; ++k)
    if (reader.fonts[static_cast<std::size_t>(k)].number == number) return &reader.fonts[static_cast<std::size_t>(k)];
  return nullptr;
}

void begin_font_entry(std::int32_t number) {
  reader.current_font_entry = -1;
  FontEntry *entry = find_font(number);
  if (entry == nullptr) {
    if (reader.font_count == rtf_font_max) return;
    entry = &reader.fonts[static_cast<std::size_t>(reader.font_count)];
    *entry = {};
    entry->number = number;
    if (number >= 0 && number < rtf_font_max) reader.font_slot[static_cast<std::size_t>(number)] = static_cast<std::int16_t>(reader.font_count);
    ++reader.font_count;
  }
  reader.current_font_entry = static_cast<int>(entry - reader.fonts.data());
}

void font_name_text(const unsigned char *text, std::size_t len) {
  if (reader.current_font_entry < 0) return;
  FontEntry &entry = reader.fonts[static_cast<std::size_t>(reader.current_font_entry)];
  for (std::size_t k = 0; k < len && !entry.complete; ++k) {
    const unsigned char c = text[k];
    if (c == ';') {
      entry.complete = true;
      break;
    }
    const std::size_t n = std::strlen(entry.face);
    if (c >= 0x20 && c < 0x7F && n < font_face_max && !(n == 0 && c == ' ')) entry.face[n] = static_cast<char>(c);
  }
}

std::int32_t code_page_now() {
  const std::int32_t number = top().chr.font >= 0 ? top().chr.font : reader.default_font;
  const FontEntry *font = find_font(number);
  return font != nullptr && font->code_page != 0 ? font->code_page : reader.document_code_page;
}

void color_table_text(const unsigned char *text, std::size_t len) {
  for (std::size_t k = 0; k < len; ++k)
    if (text[k] == ';' && reader.color_count < rtf_color_max) ++reader.color_count;
}

ColorEntry *current_color_entry() {
  return reader.color_count < rtf_color_max ? &reader.colors[static_cast<std::size_t>(reader.color_count)] : nullptr;
}

// ---- the stream's format ------------------------------------------------------

const char *face_of(std::int32_t number) {
  const FontEntry *font = find_font(number >= 0 ? number : reader.default_font);
  return font != nullptr && font->face[0] != '\0' ? font->face : "Times Roman";
}

// Brings character attributes, font, colour and language up to date.
void sync_character_format() {
  const CharFormat &want = top().chr;
  CharFormat &have = reader.out.chr;
  put_attribute_changes(have, want);
  const std::int32_t font = want.font >= 0 ? want.font : reader.default_font;
  if (!reader.out.font_known || font != have.font || want.size != have.size) {
    put_font(want.size, face_of(font));
    reader.out.font_known = true;
  }
  if (want.color != have.color) {
    const ColorEntry *color = want.color > 0 && want.color < reader.color_count
                                  ? &reader.colors[static_cast<std::size_t>(want.color)] : nullptr;
    if (color != nullptr && color->defined) put_color(color->red, color->green, color->blue);
    else put_color_off();
  }
  if (want.lang != have.lang && want.lang > 0) put_language(want.lang);
  have = want;
  have.font = font;
}

constexpr std::int32_t edge_tolerance = 10;  // twips within which two cell edges are one

// Reads ahead in the file from the current position (the kept tokens that
// wait first); calls visit(token, word) for every token (word: the control
// word's entry, none for other tokens and unknown words) until it returns
// false, the file ends or the budget runs out. With keep, the tokens it reads
// are kept for the main reading, up to the first that the main reading must
// read from the file itself (raw \bin data, a picture's data), and the input
// moves on past them.
template <typename Visit>
void read_ahead(bool keep, Visit visit) {
  RtfToken token;
  const RtfWordEntry *entry = nullptr;
  long budget = 1L << 22;
  const std::size_t waiting = kept_tokens_waiting(reader.kept);
  for (std::size_t k = 0; k < waiting; ++k, --budget) {
    kept_token_at(reader.kept, k, token, entry);
    if (!visit(token, entry != nullptr ? entry->word : RtfWord::none)) return;
  }
  if (keep) clear_kept_tokens(reader.kept);
  RtfInput ahead;
  rtf_input_clone(ahead, *reader.input);
  long long kept_end = rtf_input_offset(ahead);
  for (; budget > 0; --budget) {
    rtf_next_token(ahead, token);
    if (token.kind == RtfTokenKind::end) break;
    RtfWord word = RtfWord::none;
    entry = nullptr;
    if (token.kind == RtfTokenKind::control_word) {
      entry = token.entry;
      if (entry != nullptr) word = entry->word;
      if (word == RtfWord::bin || word == RtfWord::pict) keep = false;
      if (word == RtfWord::bin && token.has_param && token.param > 0) rtf_skip_bytes(ahead, token.param);
    }
    if (keep && keep_token(reader.kept, token, entry)) kept_end = rtf_input_offset(ahead);
    else keep = false;
    if (!visit(token, word)) break;
  }
  rtf_input_close(ahead);
  if (kept_tokens_waiting(reader.kept) > 0 && waiting == 0) rtf_input_move_to(*reader.input, kept_end);
}

// Rows that continue a vertical merge begun in the current row by the cell
// whose right edge is right: each row definition after a \row that has a
// cell with that edge marked as merged adds one.
int count_vertical_span(std::int32_t right) {
  int span = 1;
  bool after_row = false, merged = false;
  read_ahead(false, [&](const RtfToken &token, RtfWord word) {
    if (word == RtfWord::row) after_row = true, merged = false;
    else if (!after_row) return true;
    else if (word == RtfWord::trowd) merged = false;
    else if (word == RtfWord::clvmrg) merged = true;
    else if (word == RtfWord::cellx) {
      if (token.param >= right - edge_tolerance) {
        if (!merged || token.param > right + edge_tolerance) return false;
        ++span;
        after_row = false;
      }
      merged = false;
    } else if (word == RtfWord::intbl || word == RtfWord::cell) return false;  // the row had no such cell
    return true;
  });
  return span;
}

void add_grid_edge(std::int32_t edge) {
  auto &grid = reader.grid;
  for (int k = 0; k < reader.grid_count; ++k)
    if (std::abs(grid[static_cast<std::size_t>(k)] - edge) <= edge_tolerance) return;
  if (reader.grid_count == rtf_cell_max) return;
  int k = reader.grid_count++;
  for (; k > 0 && grid[static_cast<std::size_t>(k - 1)] > edge; --k) grid[static_cast<std::size_t>(k)] = grid[static_cast<std::size_t>(k - 1)];
  grid[static_cast<std::size_t>(k)] = edge;
}

// The column grid of the table that begins here: the cell edges of its rows,
// read ahead to the first paragraph after a \row that is not in the table.
void read_table_grid() {
  reader.grid_count = 0;
  for (int k = 0; k < reader.row.count; ++k) add_grid_edge(reader.row.cells[static_cast<std::size_t>(k)].right);
  bool after_row = false;
  // The table's tokens are kept, so that they are read once, unless tokens
  // kept before still wait or a picture's data is being read from the input.
  const bool keep = kept_tokens_waiting(reader.kept) == 0 && top().dest != Dest::picture &&
                    (reader.input->fd == -1 || reader.input->seekable);
  read_ahead(keep, [&](const RtfToken &token, RtfWord word) {
    if (token.kind == RtfTokenKind::text) {
      for (std::size_t k = 0; k < token.text_len; ++k)
        if (token.text[k] != ' ' && after_row) return false;
      return true;
    }
    if (word == RtfWord::row) after_row = true;
    else if (word == RtfWord::intbl || word == RtfWord::trowd) after_row = false;
    else if (word == RtfWord::cellx && token.has_param) add_grid_edge(std::clamp(token.param, 0, 65535));
    else if ((word == RtfWord::par || word == RtfWord::sect) && after_row) return false;
    return true;
  });
}

// The grid columns a cell from left to right covers.
int grid_span(std::int32_t left, std::int32_t right) {
  int span = 0;
  for (int k = 0; k < reader.grid_count; ++k) {
    const std::int32_t edge = reader.grid[static_cast<std::size_t>(k)];
    if (edge > left + edge_tolerance && edge <= right + edge_tolerance) ++span;
  }
  return std::max(span, 1);
}

void begin_cell() {
  const int index = reader.out.cell_index;
  CellDef cell;
  if (index < reader.row.count) cell = reader.row.cells[static_cast<std::size_t>(index)];
  const std::int32_t left = index > 0 && index <= reader.row.count ? reader.row.cells[static_cast<std::size_t>(index - 1)].right : -65536;
  int colspan = grid_span(left, cell.right);
  if (cell.merge_first)
    for (int k = index + 1; k < reader.row.count && reader.row.cells[static_cast<std::size_t>(k)].merged; ++k)
      colspan += grid_span(reader.row.cells[static_cast<std::size_t>(k - 1)].right, reader.row.cells[static_cast<std::size_t>(k)].right);
  const int rowspan = cell.vmerge_first ? count_vertical_span(cell.right) : 1;
  put_cell(grid_span(-65536, left) + (index > 0 ? 1 : 0), colspan, rowspan, cell.merged || cell.vmerged, top().para.align, cell.valign);
  reader.out.cell_open = true;
  reader.out.align = 0;  // a cell starts left-aligned; its own alignment is in the cell code
  reader.out.cell_first_para = true;
}

// The writer closes and reopens attributes around its table tags in ways that
// only balance when none is on: every table code is written with all off.
void clear_attributes() {
  CharFormat plain = reader.out.chr;
  plain.bold = plain.italic = plain.strike = plain.caps = false;
  plain.underline = plain.script = 0;
  put_attribute_changes(reader.out.chr, plain);
  reader.out.chr = plain;
}

void end_table() {
  clear_attributes();
  put_table_end();
  reader.out.table_open = reader.out.row_open = reader.out.cell_open = false;
  reader.out.align = reader.out.align_before_table;
}

// Opens the table, row and cell that the current paragraph belongs to, or
// closes a table that the paragraph is outside of.
void place_paragraph() {
  OutputState &out = reader.out;
  if (top().para.in_table) {
    if (!out.table_open || !out.row_open || !out.cell_open) clear_attributes();
    if (!out.table_open) {
      read_table_grid();
      out.align_before_table = out.align;
      put_table_start(reader.row.align, reader.grid.data(), reader.grid_count);
      out.table_open = true;
    }
    if (!out.row_open) {
      put_row(reader.row.height, reader.row.border, reader.row.header);
      out.row_open = true;
      out.cell_open = false;
      out.cell_index = 0;
    }
    if (!out.cell_open) begin_cell();
  } else if (out.table_open) {
    end_table();
  }
}

// Everything that must precede text: table place, paragraph alignment and
// indentation, character format.
void prepare_paragraph() {
  OutputState &out = reader.out;
  {
    place_paragraph();
    const ParaFormat &para = top().para;
    if (!(out.cell_open && out.cell_first_para) && para.align != out.align) {
      put_alignment(para.align);
      out.align = para.align;
    }
    out.cell_first_para = false;
    // A list level per half inch, at most ten of them.
    if (!para.in_table && para.left_indent >= 720) put_indent(std::min(para.left_indent, 7200) / 144);
    out.para_open = true;
    // An item of a list whose marker the document does not write: numbered
    // from the list table, written with the paragraph's first text.
    if (para.list > 0 && !reader.out.list_text_seen && !reader.out.list_counted) {
      reader.out.list_counted = true;
      reader.marker_level = number_list_paragraph(reader.lists, para.list, para.list_level, &reader.marker, &reader.marker_len);
      out.marker_pending = reader.marker_level != nullptr;
    }
  }
}

void emit_text_char(char32_t c);
void put_list_marker();

void prepare_content() {
  if (!reader.out.para_open) prepare_paragraph();
  sync_character_format();
  reader.ready = true;
  if (reader.out.marker_pending) put_list_marker();
}

// A paragraph ends: an item whose marker came with it is counted now, so
// that the items after it that have none are numbered on from it.
void finish_list_paragraph() {
  const ParaFormat &para = top().para;
  if (para.list > 0 && !reader.out.list_counted) number_list_paragraph(reader.lists, para.list, para.list_level, nullptr, nullptr);
  reader.out.list_counted = false;
  reader.out.list_text_seen = false;
  reader.out.marker_pending = false;
}

inline void begin_content() {
  if (!reader.ready) prepare_content();
}

void end_paragraph() {
  if (!reader.out.para_open) place_paragraph();
  begin_content();
  put_line_break();
  finish_list_paragraph();
  reader.out.para_open = false;
  reader.ready = false;
}

// ---- characters ---------------------------------------------------------------

void append_utf8(char *buffer, std::size_t &len, std::size_t max, char32_t c) {
  char bytes[4];
  std::size_t n;
  if (c < 0x80) bytes[0] = static_cast<char>(c), n = 1;
  else if (c < 0x800) bytes[0] = static_cast<char>(0xC0 | (c >> 6)), bytes[1] = static_cast<char>(0x80 | (c & 0x3F)), n = 2;
  else if (c < 0x10000) {
    bytes[0] = static_cast<char>(0xE0 | (c >> 12));
    bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
    n = 3;
  } else {
    bytes[0] = static_cast<char>(0xF0 | (c >> 18));
    bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
    n = 4;
  }
  if (len + n > max) return;
  std::memcpy(buffer + len, bytes, n);
  len += n;
  buffer[len] = '\0';
}

// Summary fields reach the HTML head as they stand, so they carry their
// characters in a form that is safe there.
void append_info_char(char32_t c) {
  const int field = top().info_field;
  if (field < 0 || field >= info_field_count) return;
  char *text = reader.info[static_cast<std::size_t>(field)].data();
  std::size_t len = std::strlen(text);
  char piece[16];
  if (c < 0x20 || c == 0x7F) return;
  if (c == '&') std::snprintf(piece, sizeof piece, "&amp;");
  else if (c == '<') std::snprintf(piece, sizeof piece, "&lt;");
  else if (c == '>') std::snprintf(piece, sizeof piece, "&gt;");
  else if (c == '"') std::snprintf(piece, sizeof piece, "&quot;");
  else if (c < 0x80) piece[0] = static_cast<char>(c), piece[1] = '\0';
  else std::snprintf(piece, sizeof piece, "&#%u;", static_cast<unsigned>(c));
  const std::size_t n = std::strlen(piece);
  if (len + n > info_text_max) return;
  std::memcpy(text + len, piece, n + 1);
}

void emit_text_char(char32_t c) {
  if (top().chr.hidden) return;
  c = symbol_private_use(c);
  if (c >= 0x20 && c < 0x7F) {
    begin_content();
    put_text_byte(static_cast<unsigned char>(c));
    return;
  }
  if (c == '\t') {
    begin_content();
    put_tab();
    return;
  }
  // Controls, C1 controls, the soft hyphen, marks of direction and joiners,
  // lone surrogates and non-characters carry no text.
  if (c < 0xA0 || c == 0xAD || (c >= 0x200B && c <= 0x200F) || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFEFF ||
      c == 0xFFFE || c == 0xFFFF || c > 0x10FFFF)
    return;
  begin_content();
  if (c == 0xA0) put_nonbreaking_space();
  else if (c == 0x2011) put_text_byte('-');
  else put_character(c);
}

// The buffer that the characters of dest are collected in as UTF-8, with
// its length and the most bytes it keeps; buffer stays null for other
// destinations.
void byte_buffer_of(Dest dest, char *&buffer, std::size_t *&len, std::size_t &max) {
  switch (dest) {
    case Dest::fldinst:
      if (reader.field_depth > 0 && reader.field_depth <= rtf_field_depth_max) {
        FieldState &field = reader.fields[static_cast<std::size_t>(reader.field_depth - 1)];
        buffer = field.instruction, len = &field.len, max = sizeof field.instruction - 1;
      }
      break;
    case Dest::bookmark:
      buffer = reader.bookmark, len = &reader.bookmark_len, max = sizeof reader.bookmark - 1;
      break;
    case Dest::shape_name:
      buffer = reader.shape_property, len = &reader.shape_property_len, max = sizeof reader.shape_property - 1;
      break;
    default:
      break;
  }
}

// One character in whatever destination the current group has.
void emit_char(char32_t c) {
  switch (top().dest) {
    case Dest::text:
      emit_text_char(c);
      break;
    case Dest::info_text:
      append_info_char(c);
      break;
    case Dest::fldinst: case Dest::bookmark: case Dest::shape_name: {
      char *buffer = nullptr;
      std::size_t *len = nullptr;
      std::size_t max = 0;
      byte_buffer_of(top().dest, buffer, len, max);
      if (buffer != nullptr) append_utf8(buffer, *len, max, c);
      break;
    }
    case Dest::level_text:
      add_level_text(reader.lists, c);
      break;
    default:
      break;
  }
}

char32_t pending_high_surrogate = 0;

void emit_unicode(std::int32_t value) {
  char32_t c = static_cast<char32_t>(value < 0 ? value + 65536 : value) & 0xFFFF;
  if (c >= 0xD800 && c < 0xDC00) {
    pending_high_surrogate = c;
    return;
  }
  if (c >= 0xDC00 && c < 0xE000 && pending_high_surrogate != 0) c = 0x10000 + ((pending_high_surrogate - 0xD800) << 10) + (c - 0xDC00);
  pending_high_surrogate = 0;
  emit_char(c);
}

void decode_and_emit(unsigned char byte) {
  CodePageDecoder *decoder = code_page_decoder(code_page_now());
  const char32_t c = decode_byte(*decoder, byte);
  if (c != no_character) emit_char(c);
}

// The bullets of the dingbat font that lists use, by the font's byte.
struct Dingbat {
  unsigned char byte;
  char32_t character;
};
constexpr std::array<Dingbat, 8> dingbat_bullets = {{
    {0x6C, U'\u25CF'}, {0x6E, U'\u25A0'}, {0x71, U'\u2751'}, {0x76, U'\u2756'},
    {0xA7, U'\u25AA'}, {0xA8, U'\u25FB'}, {0xD8, U'\u27A2'}, {0xFC, U'\u2713'},
}};

char32_t dingbat_bullet(unsigned char byte) {
  for (const Dingbat &d : dingbat_bullets)
    if (d.byte == byte) return d.character;
  return U'\u2022';
}

// The marker of a list item: its characters (bytes in the code page of the
// level's font; a symbol font's private characters as the font shows them, a
// bullet where no character is known), then a tab or a space.
void put_list_marker() {
  const ListLevel &level = *reader.marker_level;
  reader.out.marker_pending = false;
  const FontEntry *font = find_font(level.font);
  const std::int32_t page = font != nullptr && font->code_page != 0 ? font->code_page : reader.document_code_page;
  const bool dingbats = font != nullptr && std::string_view(font->face).starts_with("Wingdings");
  for (int k = 0; k < reader.marker_len; ++k) {
    char32_t c = reader.marker[static_cast<std::size_t>(k)];
    if (dingbats && (c >= level_byte_base || (c >= 0xF000 && c <= 0xF0FF))) {
      c = dingbat_bullet(static_cast<unsigned char>(c & 0xFF));
    } else {
      if (c >= level_byte_base) c = code_page_decoder(page)->table[static_cast<unsigned char>(c - level_byte_base)];
      c = symbol_private_use(c);
      if (c >= 0xE000 && c <= 0xF8FF) c = U'\u2022';
    }
    emit_text_char(c);
  }
  if (level.follow == 0) emit_text_char('\t');
  else if (level.follow == 1) emit_text_char(' ');
}

void pop_group();

void handle_text(const RtfToken &token) {
  const Dest dest = top().dest;
  if (dest == Dest::skip) return;
  if (dest == Dest::fonttbl) return font_name_text(token.text, token.text_len);
  if (dest == Dest::colortbl) return color_table_text(token.text, token.text_len);
  if (dest == Dest::picture) {
    if (rtf_picture_text(token.text, token.text_len)) pop_group();
    return;
  }
  if (dest == Dest::info || dest == Dest::info_date || dest == Dest::list_table || dest == Dest::override_table) return;
  std::size_t k = 0;
  while (k < token.text_len && reader.skip_chars > 0) ++k, --reader.skip_chars;
  if (k == token.text_len) return;
  if (dest == Dest::level_text) {
    for (; k < token.text_len; ++k)
      add_level_text(reader.lists, token.text[k] < 0x80 ? token.text[k] : level_byte_base + token.text[k]);
    return;
  }
  const std::int32_t page = code_page_now();
  // Plain ASCII text in an ordinary page goes straight out.
  if (dest == Dest::text && page != code_page_symbol && !top().chr.hidden && code_page_decoder(page)->pending_len == 0) {
    begin_content();
    while (k < token.text_len) {
      std::size_t end = static_cast<std::size_t>(rtf_printable_end(token.text + k, token.text + token.text_len) - token.text);
      if (end > k) put_text(token.text + k, end - k);
      if (end < token.text_len) decode_and_emit(token.text[end++]);
      k = end;
    }
    return;
  }
  // Bytes that the page maps to themselves go straight into the field
  // instruction, bookmark or property name they spell.
  char *buffer = nullptr;
  std::size_t *len = nullptr;
  std::size_t max = 0;
  byte_buffer_of(dest, buffer, len, max);
  CodePageDecoder *decoder = code_page_decoder(page);
  const auto as_itself = [decoder](unsigned char byte) { return byte < 0x80 && byte != 0 && decoder->table[byte] == byte; };
  while (k < token.text_len) {
    if (buffer != nullptr && decoder->pending_len == 0) {
      std::size_t run_end = k;
      while (run_end < token.text_len && as_itself(token.text[run_end])) ++run_end;
      // What does not fit is dropped.
      if (const std::size_t n = std::min(run_end - k, max - *len); n > 0) {
        std::memcpy(buffer + *len, token.text + k, n);
        *len += n;
        buffer[*len] = '\0';
      }
      if (run_end > k) {
        k = run_end;
        continue;
      }
    }
    decode_and_emit(token.text[k++]);
  }
}

// ---- destinations -------------------------------------------------------------

void begin_subdoc(IcfCode start) {
  reader.saved_out = reader.out;
  reader.out = {};
  reader.in_subdoc = true;
  reader.subdoc_is_note = false;
  top().para = {};
  top().on_close = OnClose::subdoc;
  put_code(start);
}

void start_pending_note() {
  reader.note_pending = false;
  std::int32_t number = reader.note_is_endnote ? ++reader.endnote_count : ++reader.footnote_count;
  put_note_start(reader.note_is_endnote, number);
  reader.out = {};
  reader.in_subdoc = true;
  reader.subdoc_is_note = true;
  reader.ready = false;
}

void end_subdoc(bool note) {
  if (reader.out.table_open) end_table();
  put_code(note ? code("EFN") : code("HFX"));
  reader.out = reader.saved_out;
  reader.in_subdoc = false;
  reader.ready = false;
}

// The target of a HYPERLINK (or REF \h) field instruction; false when the field is no link.
bool link_target(const char *instruction, char *target, std::size_t size, bool &internal) {
  std::string_view rest = instruction;
  auto next_argument = [&rest](std::string_view &argument) {
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.empty()) return false;
    std::size_t end;
    if (rest.front() == '"') {
      end = rest.find('"', 1);
      argument = rest.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    } else {
      end = rest.find(' ');
      argument = rest.substr(0, end);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    return true;
  };
  std::string_view kind;
  if (!next_argument(kind)) return false;
  std::string_view url, anchor, argument;
  bool anchor_next = false, skip_next = false, reference = false, jump = false;
  auto same = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return to_lower_ascii(x) == to_lower_ascii(y); });
  };
  if (same(kind, "REF")) reference = true;
  else if (!same(kind, "HYPERLINK")) return false;
  while (next_argument(argument)) {
    if (argument.size() == 2 && argument[0] == '\\') {
      const char sw = static_cast<char>(to_lower_ascii(argument[1]));
      anchor_next = sw == 'l';
      skip_next = sw == 'o' || sw == 't';
      jump = jump || sw == 'h';
    } else if (anchor_next) {
      anchor = argument, anchor_next = false;
    } else if (skip_next) {
      skip_next = false;
    } else if (url.empty() && anchor.empty()) {
      (reference ? anchor : url) = argument;
    }
  }
  if (reference && !jump) return false;
  if (!url.empty() && url.front() == '#' && anchor.empty()) anchor = url.substr(1), url = {};
  internal = url.empty();
  if (url.empty() && anchor.empty()) return false;
  std::size_t len = 0;
  auto add = [&](std::string_view part) {
    constexpr char hex_digits[] = "0123456789ABCDEF";
    for (const char ch : part) {
      const auto c = static_cast<unsigned char>(ch);
      if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>') {
        if (len + 3 >= size) return;
        target[len++] = '%';
        target[len++] = hex_digits[c >> 4];
        target[len++] = hex_digits[c & 15];
      } else {
        if (len + 1 >= size) return;
        target[len++] = ch;
      }
    }
  };
  add(url);
  if (!url.empty() && !anchor.empty()) add("#");
  add(anchor);
  target[len] = '\0';
  return true;
}

void begin_field_result() {
  top().dest = Dest::text;
  top().on_close = OnClose::fldrslt;
  if (reader.field_depth < 1 || reader.field_depth > rtf_field_depth_max) return;
  FieldState &field = reader.fields[static_cast<std::size_t>(reader.field_depth - 1)];
  char target[512];
  bool internal = false;
  for (int k = 0; k < reader.field_depth - 1; ++k)
    if (reader.fields[static_cast<std::size_t>(k)].link_open) return;  // links do not nest
  if (!link_target(field.instruction, target, sizeof target, internal)) return;
  begin_content();
  put_link_start(target, internal);
  field.link_open = true;
}

void end_field_result() {
  if (reader.field_depth < 1 || reader.field_depth > rtf_field_depth_max) return;
  FieldState &field = reader.fields[static_cast<std::size_t>(reader.field_depth - 1)];
  if (field.link_open) put_link_end();
  field.link_open = false;
}

void put_bookmark() {
  char name[256];
  bool internal = false;
  char instruction[300];
  std::snprintf(instruction, sizeof instruction, "HYPERLINK \\l \"%s\"", reader.bookmark);
  if (reader.bookmark_len == 0 || !link_target(instruction, name, sizeof name, internal)) return;
  begin_content();
  put_anchor(name);
}

void put_summary() {
  std::array<const char *, summary_field_count> fields{};
  for (int k = 0; k < info_field_count; ++k)
    fields[static_cast<std::size_t>(info_field_position[static_cast<std::size_t>(k)] - 1)] = reader.info[static_cast<std::size_t>(k)].data();
  put_summary_fields(fields.data(), summary_field_count);
}

void end_info_date(const GroupState &group) {
  const int field = group.info_field;
  if (field < 0 || field >= info_field_count || reader.date[0] <= 0) return;
  std::snprintf(reader.info[static_cast<std::size_t>(field)].data(), info_text_max + 1, "%04d-%02d-%02d %02d:%02d",
                std::clamp(reader.date[0], 0, 9999), std::clamp(reader.date[1], 0, 99), std::clamp(reader.date[2], 0, 99),
                std::clamp(reader.date[3], 0, 99), std::clamp(reader.date[4], 0, 99));
}

void close_group(const GroupState &group) {
  switch (group.on_close) {
    case OnClose::subdoc:
      if (reader.note_pending) start_pending_note();
      end_subdoc(reader.subdoc_is_note);
      break;
    case OnClose::fldrslt:
      end_field_result();
      break;
    case OnClose::field:
      end_field_result();
      --reader.field_depth;
      break;
    case OnClose::bookmark:
      put_bookmark();
      break;
    case OnClose::info:
      put_summary();
      break;
    case OnClose::info_date:
      end_info_date(group);
      break;
    case OnClose::picture:
      rtf_picture_end();
      break;
    case OnClose::none:
      break;
  }
}

void open_group() {
  reader.skip_chars = 0;
  reader.ignorable = false;
  if (reader.depth == rtf_group_depth_max) {
    ++reader.overflow;
    return;
  }
  reader.groups[static_cast<std::size_t>(reader.depth)] = top();
  ++reader.depth;
  top().on_close = OnClose::none;
}

void pop_group() {
  reader.skip_chars = 0;
  reader.ignorable = false;
  reader.ready = false;
  if (reader.overflow > 0) {
    --reader.overflow;
    return;
  }
  if (reader.depth <= 1) {
    reader.done = true;
    return;
  }
  const GroupState closed = top();
  --reader.depth;
  close_group(closed);
}

// ---- control words ------------------------------------------------------------

bool is_destination(RtfWord word) { return word <= RtfWord::text_destination && word != RtfWord::none; }

void destination(const RtfWordEntry &entry) {
  GroupState &group = top();
  switch (entry.word) {
    case RtfWord::fonttbl: group.dest = Dest::fonttbl; break;
    case RtfWord::colortbl:
      group.dest = Dest::colortbl;
      reader.color_count = 0;
      break;
    case RtfWord::info:
      group.dest = Dest::info;
      group.on_close = OnClose::info;
      break;
    case RtfWord::info_title: case RtfWord::info_author: case RtfWord::info_subject: case RtfWord::info_keywords:
    case RtfWord::info_comment: case RtfWord::info_operator: {
      constexpr std::array<InfoField, 6> fields = {info_title, info_author, info_subject, info_keywords, info_comment, info_operator};
      group.dest = Dest::info_text;
      group.info_field = fields[static_cast<std::size_t>(entry.word) - static_cast<std::size_t>(RtfWord::info_title)];
      reader.info[static_cast<std::size_t>(group.info_field)][0] = '\0';
      break;
    }
    case RtfWord::info_created: case RtfWord::info_revised:
      group.dest = Dest::info_date;
      group.on_close = OnClose::info_date;
      group.info_field = entry.word == RtfWord::info_created ? info_created : info_revised;
      reader.date = {};
      break;
    case RtfWord::header: case RtfWord::footer:
      if (group.dest != Dest::text || reader.in_subdoc) group.dest = Dest::skip;
      else begin_subdoc(entry.word == RtfWord::header ? code("HF2") : code("HF1"));
      break;
    case RtfWord::footnote:
      if (group.dest != Dest::text || reader.in_subdoc) {
        group.dest = Dest::skip;
        break;
      }
      // The reference stands in the paragraph, outside the format of the group
      // that holds the note (usually superscript for the mark the note replaces).
      if (!reader.out.para_open) prepare_paragraph();
      reader.saved_out = reader.out;
      reader.note_pending = true;
      reader.note_is_endnote = false;
      group.para = {};
      group.on_close = OnClose::subdoc;
      break;
    case RtfWord::field:
      ++reader.field_depth;
      if (reader.field_depth <= rtf_field_depth_max) reader.fields[static_cast<std::size_t>(reader.field_depth - 1)] = {};
      group.on_close = OnClose::field;
      break;
    case RtfWord::fldinst: group.dest = Dest::fldinst; break;
    case RtfWord::fldrslt:
      if (group.dest == Dest::text) begin_field_result();
      break;
    case RtfWord::bkmkstart:
      if (group.dest != Dest::text) break;
      group.dest = Dest::bookmark;
      group.on_close = OnClose::bookmark;
      reader.bookmark_len = 0;
      reader.bookmark[0] = '\0';
      break;
    case RtfWord::pict:
      if ((group.dest != Dest::text && group.dest != Dest::shape_picture) || group.chr.hidden) {
        group.dest = Dest::skip;
        break;
      }
      if (group.dest == Dest::shape_picture) reader.shape_picture_written = true;
      rtf_picture_begin();
      group.dest = Dest::picture;
      group.on_close = OnClose::picture;
      break;
    case RtfWord::shape:
      if (group.dest != Dest::text) group.dest = Dest::skip;
      else reader.shape_picture_written = false;
      break;
    case RtfWord::shape_instance:
      group.dest = group.dest == Dest::text ? Dest::shape_instance : Dest::skip;
      break;
    case RtfWord::shape_property:
      if (group.dest != Dest::shape_instance) group.dest = Dest::skip;
      reader.shape_property_len = 0;
      reader.shape_property[0] = '\0';
      break;
    case RtfWord::shape_name:
      group.dest = group.dest == Dest::shape_instance ? Dest::shape_name : Dest::skip;
      break;
    case RtfWord::shape_value:
      // Of the shape's properties only its picture is shown.
      group.dest = group.dest == Dest::shape_instance && std::string_view(reader.shape_property) == "pib"
                       ? Dest::shape_picture : Dest::skip;
      break;
    case RtfWord::shape_result:
      if (group.dest != Dest::text || reader.shape_picture_written) group.dest = Dest::skip;
      break;
    case RtfWord::listtable: group.dest = Dest::list_table; break;
    case RtfWord::listoverridetable: group.dest = Dest::override_table; break;
    case RtfWord::leveltext: group.dest = group.dest == Dest::list_table ? Dest::level_text : Dest::skip; break;
    case RtfWord::list_text:
      if (group.dest != Dest::text) group.dest = Dest::skip;
      else reader.out.list_text_seen = true;
      break;
    case RtfWord::picture_alternative:
      if (group.dest != Dest::text || !rtf_picture_alternative(entry.value != 0)) group.dest = Dest::skip;
      else group.on_close = OnClose::picture;
      break;
    case RtfWord::text_destination:
      if (group.dest != Dest::text) group.dest = Dest::skip;
      break;
    default:
      group.dest = Dest::skip;
      break;
  }
}

void character_format(const RtfWordEntry &entry, const RtfToken &token) {
  CharFormat &chr = top().chr;
  const bool on = !token.has_param || token.param != 0;
  switch (entry.word) {
    case RtfWord::plain: chr = CharFormat{}; break;
    case RtfWord::b: chr.bold = on; break;
    case RtfWord::i: chr.italic = on; break;
    case RtfWord::ul: chr.underline = on ? 1 : 0; break;
    case RtfWord::uldb: chr.underline = on ? 2 : 0; break;
    case RtfWord::ulnone: chr.underline = 0; break;
    case RtfWord::strike: case RtfWord::striked: chr.strike = on; break;
    case RtfWord::super: chr.script = 1; break;
    case RtfWord::sub: chr.script = 2; break;
    case RtfWord::nosupersub: chr.script = 0; break;
    // Raised and lowered text (in half points) stands for super- and subscript.
    case RtfWord::up: chr.script = token.has_param && token.param == 0 ? 0 : 1; break;
    case RtfWord::dn: chr.script = token.has_param && token.param == 0 ? 0 : 2; break;
    case RtfWord::caps: case RtfWord::scaps: chr.caps = on; break;
    case RtfWord::v: chr.hidden = on; break;
    case RtfWord::fs: chr.size = token.has_param && token.param > 0 ? std::min(token.param, 3276) : 24; break;
    case RtfWord::cf: chr.color = token.has_param ? std::max(token.param, 0) : 0; break;
    case RtfWord::lang: chr.lang = token.has_param ? std::max(token.param, 0) : 0; break;
    default: break;
  }
}

void table_word(const RtfWordEntry &entry, const RtfToken &token) {
  RowDef &row = reader.row;
  switch (entry.word) {
    case RtfWord::trowd:
      row.count = 0;
      row.pending = {};
      row.border = false;
      row.border_context = false;
      row.height = 0;
      row.align = 0;
      row.header = false;
      break;
    case RtfWord::cellx:
      row.pending.right = token.has_param ? std::clamp(token.param, 0, 65535) : 0;
      if (row.count < rtf_cell_max) row.cells[static_cast<std::size_t>(row.count++)] = row.pending;
      row.pending = {};
      break;
    case RtfWord::clmgf: row.pending.merge_first = true; break;
    case RtfWord::clmrg: row.pending.merged = true; break;
    case RtfWord::clvmgf: row.pending.vmerge_first = true; break;
    case RtfWord::clvmrg: row.pending.vmerged = true; break;
    case RtfWord::clvertalt: row.pending.valign = 0; break;
    case RtfWord::clvertalc: row.pending.valign = 2; break;
    case RtfWord::clvertalb: row.pending.valign = 1; break;
    case RtfWord::trqc: row.align = 2; break;
    case RtfWord::trqr: row.align = 3; break;
    case RtfWord::trhdr: row.header = true; break;
    case RtfWord::trrh: row.height = token.has_param ? std::min(token.param == INT32_MIN ? 0 : std::abs(token.param), 65535) : 0; break;
    case RtfWord::border_side: row.border_context = entry.value == 1; break;
    case RtfWord::border_style: row.border = row.border || row.border_context; break;
    case RtfWord::border_none: row.border_context = false; break;
    default: break;
  }
}

// Words of the list table (override false) and of the override table.
void list_table_word(const RtfWordEntry &entry, const RtfToken &token, bool override) {
  ListTables &lists = reader.lists;
  ListLevel *level = override ? nullptr : current_list_level(lists);
  const std::int32_t value = token.has_param ? token.param : entry.value;
  switch (entry.word) {
    case RtfWord::list: if (!override) begin_list(lists); break;
    case RtfWord::listlevel: if (!override) begin_list_level(lists); break;
    case RtfWord::listid: set_list_id(lists, value, override); break;
    case RtfWord::listoverride: if (override) begin_list_override(lists); break;
    case RtfWord::ls: if (override) set_override_number(lists, value); break;
    case RtfWord::lfolevel: if (override) begin_override_level(lists); break;
    case RtfWord::listoverridestartat: if (override) restart_override_level(lists); break;
    case RtfWord::levelstartat:
      if (override) set_override_start(lists, value);
      else if (level != nullptr) level->start = value;
      break;
    case RtfWord::levelnfc: if (level != nullptr) level->format = value; break;
    case RtfWord::levelfollow: if (level != nullptr) level->follow = value; break;
    case RtfWord::levellegal: if (level != nullptr) level->legal = value != 0; break;
    case RtfWord::levelnorestart: if (level != nullptr) level->no_restart = value != 0; break;
    case RtfWord::f: if (level != nullptr) level->font = value; break;
    default: break;
  }
}

void text_word(const RtfWordEntry &entry, const RtfToken &token) {
  GroupState &group = top();
  switch (entry.word) {
    case RtfWord::pard: group.para = {}; break;
    case RtfWord::ql: group.para.align = 0; break;
    case RtfWord::qc: group.para.align = 2; break;
    case RtfWord::qr: group.para.align = 3; break;
    case RtfWord::qj: group.para.align = 1; break;
    case RtfWord::li: group.para.left_indent = token.param; break;
    case RtfWord::intbl: group.para.in_table = true; break;
    case RtfWord::ls: group.para.list = token.param; break;
    case RtfWord::ilvl: group.para.list_level = std::clamp(token.param, 0, rtf_list_levels - 1); break;
    case RtfWord::itap: group.para.in_table = !token.has_param || token.param > 0; break;
    case RtfWord::par: end_paragraph(); break;
    case RtfWord::line:
      begin_content();
      put_line_break();
      reader.ready = false;
      break;
    case RtfWord::page: put_code(code("HNP")); break;
    case RtfWord::sect:
      if (reader.out.para_open) end_paragraph();
      break;
    case RtfWord::tab: case RtfWord::nestcell: emit_char('\t'); break;
    case RtfWord::nestrow: end_paragraph(); break;
    case RtfWord::character: emit_char(static_cast<char32_t>(entry.value)); break;
    case RtfWord::cell:
      if (!group.para.in_table) break;
      if (!reader.out.cell_open) {
        place_paragraph();
        if (!reader.out.cell_open) begin_cell();
      }
      finish_list_paragraph();
      reader.out.cell_open = false;
      reader.out.para_open = false;
      ++reader.out.cell_index;
      break;
    case RtfWord::row:
      reader.out.row_open = false;
      reader.out.cell_open = false;
      reader.out.para_open = false;
      break;
    default:
      break;
  }
}

// A control word and its entry (null when the word is unknown).
void handle_word(const RtfToken &token, const RtfWordEntry *entry) {
  if (reader.ignorable) {
    reader.ignorable = false;
    if (entry == nullptr || !is_destination(entry->word)) {
      top().dest = Dest::skip;
      return;
    }
  }
  if (entry == nullptr) {
    if (reader.skip_chars > 0 && top().dest != Dest::skip) --reader.skip_chars;  // any word stands for one character
    return;
  }
  if (entry->word == RtfWord::bin) {
    if (top().dest == Dest::picture && token.has_param && token.param > 0) {
      if (rtf_picture_binary(token.param)) pop_group();
    } else if (token.has_param && token.param > 0) rtf_skip_bytes(*reader.input, token.param);
    if (reader.skip_chars > 0) --reader.skip_chars;
    return;
  }
  const Dest dest = top().dest;
  if (dest == Dest::skip) return;
  if (reader.skip_chars > 0 && !is_destination(entry->word)) {
    --reader.skip_chars;
    return;
  }
  if (reader.note_pending) {
    if (entry->word == RtfWord::ftnalt) {
      reader.note_is_endnote = true;
      return;
    }
    start_pending_note();
  }
  reader.ready = false;
  if (is_destination(entry->word)) return destination(*entry);
  if (dest == Dest::picture) return rtf_picture_word(*entry, token);
  if (dest == Dest::list_table || dest == Dest::override_table) return list_table_word(*entry, token, dest == Dest::override_table);
  if (dest == Dest::level_text && entry->word == RtfWord::character) return emit_char(static_cast<char32_t>(entry->value));
  switch (entry->word) {
    case RtfWord::ansi: reader.document_code_page = 1252; return;
    case RtfWord::mac: reader.document_code_page = 10000; return;
    case RtfWord::pc: reader.document_code_page = 437; return;
    case RtfWord::pca: reader.document_code_page = 850; return;
    case RtfWord::ansicpg:
      if (token.has_param && token.param > 0) reader.document_code_page = token.param;
      return;
    case RtfWord::deff: reader.default_font = token.param; return;
    case RtfWord::uc: top().uc = token.has_param ? std::max(token.param, 0) : 1; return;
    case RtfWord::u:
      emit_unicode(token.param);
      reader.skip_chars = top().uc;
      return;
    case RtfWord::f:
      if (dest == Dest::fonttbl) begin_font_entry(token.param);
      else top().chr.font = token.param;
      return;
    case RtfWord::fcharset: case RtfWord::cpg:
      if (dest == Dest::fonttbl && reader.current_font_entry >= 0) {
        const int page = entry->word == RtfWord::cpg ? token.param : code_page_of_charset(token.param);
        if (page > 0) reader.fonts[static_cast<std::size_t>(reader.current_font_entry)].code_page = page;
      }
      return;
    case RtfWord::red: case RtfWord::green: case RtfWord::blue:
      if (ColorEntry *color = current_color_entry(); color != nullptr && dest == Dest::colortbl) {
        const std::int32_t value = std::clamp(token.param, 0, 255);
        color->defined = true;
        (entry->word == RtfWord::red ? color->red : entry->word == RtfWord::green ? color->green : color->blue) = value;
      }
      return;
    case RtfWord::yr: case RtfWord::mo: case RtfWord::dy: case RtfWord::hr: case RtfWord::min:
      reader.date[static_cast<std::size_t>(entry->word) - static_cast<std::size_t>(RtfWord::yr)] = token.param;
      return;
    case RtfWord::chftn: case RtfWord::ftnalt: return;
    default: break;
  }
  if (entry->word >= RtfWord::plain && entry->word <= RtfWord::lang) return character_format(*entry, token);
  if (entry->word >= RtfWord::trowd && entry->word <= RtfWord::border_none && entry->word != RtfWord::cell &&
      entry->word != RtfWord::row && entry->word != RtfWord::nestcell && entry->word != RtfWord::nestrow)
    return table_word(*entry, token);
  if (dest == Dest::text) text_word(*entry, token);
  else if (entry->word == RtfWord::pard || entry->word == RtfWord::plain) text_word(*entry, token);
}

void handle_symbol(int symbol) {
  if (reader.note_pending) start_pending_note();
  if (symbol == '*') {
    reader.ignorable = true;
    return;
  }
  if (top().dest == Dest::skip) return;
  if (reader.skip_chars > 0) {
    --reader.skip_chars;
    return;
  }
  switch (symbol) {
    case '~': emit_char(0xA0); break;
    case '_': emit_char(0x2011); break;
    case '\\': case '{': case '}':
      if (top().dest == Dest::fonttbl || top().dest == Dest::colortbl) break;
      emit_char(static_cast<char32_t>(symbol));
      break;
    case '\t': emit_char('\t'); break;
    default: break;  // \- optional hyphen, \: index subentry, \| formula
  }
}

void handle_hex_byte(int byte) {
  if (reader.note_pending) start_pending_note();
  if (top().dest == Dest::skip || byte < 0) return;
  if (reader.skip_chars > 0) {
    --reader.skip_chars;
    return;
  }
  if (top().dest == Dest::fonttbl || top().dest == Dest::colortbl) return;
  // The bytes of a level's text are kept as they are: the first is a length,
  // small ones stand for numbers, and the level's font is known only later.
  if (top().dest == Dest::level_text) return add_level_text(reader.lists, byte < 0x80 ? static_cast<char32_t>(byte) : level_byte_base + static_cast<char32_t>(byte));
  decode_and_emit(static_cast<unsigned char>(byte));
}

bool read_header(RtfInput &in, RtfToken &token) {
  rtf_next_token(in, token);
  while (token.kind == RtfTokenKind::text) {
    for (std::size_t k = 0; k < token.text_len; ++k)
      if (token.text[k] != ' ' && token.text[k] != '\t') return false;
    rtf_next_token(in, token);
  }
  if (token.kind != RtfTokenKind::group_open) return false;
  rtf_next_token(in, token);
  return token.kind == RtfTokenKind::control_word && std::strcmp(token.word, "rtf") == 0;
}

}  // namespace

bool starts_like_rtf(const unsigned char *bytes, std::size_t len) {
  std::size_t k = 0;
  while (k < len && (bytes[k] == ' ' || bytes[k] == '\t' || bytes[k] == '\r' || bytes[k] == '\n')) ++k;
  return len - k >= 5 && std::memcmp(bytes + k, "{\\rtf", 5) == 0;
}

// A fresh process finds the state as its initial image; a later document in
// the same process resets it in place, with no temporary of its size: a small
// document then touches only the pages it uses. Out of line, so that it
// leaves the reading loop's code as it is.
[[gnu::noinline]] void reset_reader() {
  static bool used = false;
  if (std::exchange(used, true)) {
    std::destroy_at(&reader);
    std::construct_at(&reader);
  }
}

int read_rtf(RtfInput &in) {
  reset_reader();
  pending_high_surrogate = 0;
  restart_code_pages();  // the decoders' tables stay: building them costs more than a small document
  reader.input = &in;
  rtf_pictures_start(in, begin_content);
  RtfToken token;
  if (!read_header(in, token)) return in.failed ? rtf_status_read_failed : rtf_status_not_rtf;
  reader.depth = 1;
  reader.groups[0] = {};
  const RtfWordEntry *entry = nullptr;
  while (!reader.done) {
    if (kept_tokens_waiting(reader.kept) > 0) {
      take_kept_token(reader.kept, token, entry);
    } else {
      rtf_next_token(in, token);
      entry = token.entry;
    }
    switch (token.kind) {
      case RtfTokenKind::end: reader.done = true; break;
      case RtfTokenKind::group_open:
        if (reader.note_pending) start_pending_note();
        open_group();
        break;
      case RtfTokenKind::group_close: pop_group(); break;
      case RtfTokenKind::control_word: handle_word(token, entry); break;
      case RtfTokenKind::control_symbol: handle_symbol(token.symbol); break;
      case RtfTokenKind::hex_byte: handle_hex_byte(token.symbol); break;
      case RtfTokenKind::text:
        if (reader.note_pending) start_pending_note();
        handle_text(token);
        break;
    }
  }
  // Groups left open at the end of the file are closed as if their braces came.
  reader.overflow = 0;
  while (reader.depth > 1) {
    const GroupState closed = top();
    --reader.depth;
    close_group(closed);
  }
  if (reader.out.para_open) put_line_break();
  if (reader.out.table_open) end_table();
  return in.failed ? rtf_status_read_failed : rtf_status_ok;
}

}  // namespace kiv
