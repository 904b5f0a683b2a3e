// The intermediate codes the RTF reader writes, each through the library's code
// writers and buffered target, and the reader's record of what the stream has
// already said (so that a code is written only when something changes).
#pragma once

#include <cstdint>

#include "common/types.h"
#include "stream/buffered_io.h"

namespace kiv {

inline constexpr std::size_t font_face_max = 80;  // the writer keeps at most 80 characters of a face

struct CharFormat {
  bool bold = false, italic = false, strike = false, caps = false, hidden = false;
  std::uint8_t underline = 0;  // 0 none, 1 single, 2 double
  std::uint8_t script = 0;     // 0 none, 1 superscript, 2 subscript
  std::int32_t font = -1;      // font number; -1 the document's default font
  std::int32_t size = 24;      // half points
  std::int32_t color = 0;      // colour table index; 0 automatic
  std::int32_t lang = 0;
};

// What the stream has said so far in the current (sub-)document.
struct OutputState {
  CharFormat chr;
  bool font_known = false;     // a font code has been written
  std::uint8_t align = 0;      // the alignment the writer holds
  std::uint8_t align_before_table = 0;
  bool para_open = false;      // the paragraph's opening codes are written
  bool table_open = false, row_open = false, cell_open = false, cell_first_para = false;
  // The paragraph as an item of a list: its marker text came with it
  // (\listtext), its number is counted, its marker waits for its first text.
  bool list_text_seen = false, list_counted = false, marker_pending = false;
  int cell_index = 0;
};

void put_code(IcfCode code);
// Plain text: printable ASCII, which the writer copies (escaping & < >).
inline void put_text_byte(unsigned char c) { b_putc(c); }
inline void put_text(const unsigned char *bytes, std::size_t n) { b_putn(bytes, static_cast<long>(n)); }
void put_tab();
void put_line_break();
void put_nonbreaking_space();
// A character beyond ASCII: Latin-1 ones in the ISO 8859-1 set, the rest as
// Unicode scalar values; each followed by the substitute "_".
void put_character(char32_t c);
// Whether have and want differ in an attribute that has a code.
inline bool attributes_differ(const CharFormat &have, const CharFormat &want) {
  return have.bold != want.bold || have.italic != want.italic || have.underline != want.underline ||
         have.strike != want.strike || have.script != want.script || have.caps != want.caps;
}
void put_attribute_codes(const CharFormat &have, const CharFormat &want);
// Attribute codes for what differs between have and want (off before on).
// Checked here, where it is inline: text usually follows a word that changed
// no attribute.
inline void put_attribute_changes(const CharFormat &have, const CharFormat &want) {
  if (attributes_differ(have, want)) put_attribute_codes(have, want);
}
// size in half points.
void put_font(std::int32_t size, const char *face);
void put_color(std::int32_t red, std::int32_t green, std::int32_t blue);
void put_color_off();
void put_language(std::int32_t lang);
// align: 0 left, 1 justified, 2 centred, 3 right.
void put_alignment(std::uint8_t align);
// Indentation of the paragraph in tenths of an inch.
void put_indent(std::int32_t tenths);
void put_table_start(std::uint8_t align, const std::int32_t *rights, int count);
// A header row carries a fifth parameter, 1, which writers that know no
// header rows skip with the rest of the code.
void put_row(std::int32_t height, bool border, bool header);
void put_cell(int column, int colspan, int rowspan, bool covered, std::uint8_t align, std::uint8_t valign);
void put_table_end();
void put_note_start(bool endnote, std::int32_t number);
void put_link_start(const char *target, bool internal);
void put_link_end();
void put_anchor(const char *name);
// The summary code with count fields (null or empty: an empty field).
void put_summary_fields(const char *const *fields, int count);

}  // namespace kiv

