// The format record: what the writer wants to have in the output (alignment,
// attributes, font, colour, language, table and picture state) beside what is
// open in the output now. One record is handed to every code handler; copies
// of it are saved around sub-documents.
#pragma once

#include <array>
#include <cstdint>

namespace kiv {

inline constexpr int face_size = 84;         // a face name of at most 80 characters and its NUL
inline constexpr int face_max_characters = 80;
inline constexpr int summary_size = 256;     // subject, author, keywords and title buffers

struct FontBlock {
  std::int32_t size;   // twentieths of a point; 240 = 12 point
  std::int32_t flags;
  char face[face_size];
};

// Paragraph alignment values of align, align_out, pending_align and block_align.
enum Alignment : std::int32_t { align_left = 0, align_justified = 1, align_centred = 2, align_right = 3 };

struct fmt_info {
  std::int32_t align;
  std::int32_t align_out;      // -1 forces a new paragraph tag at the next text
  std::int32_t para_start;
  std::array<std::int32_t, 4> margins;  // third left, fourth right
  std::int32_t page_width;
  std::int32_t page_length;
  std::int32_t page_shade;     // percent, from SHD type 6; 0 none
  std::array<std::int32_t, 3> page_rgb;
  std::int32_t caps;
  std::int32_t icf_handle;
  std::int32_t out_handle;
  std::int32_t out_open;
  std::int32_t changed;
  std::int32_t attrs;          // wanted character attributes
  std::int32_t attrs_out;      // attributes whose tags are open
  std::int32_t page_count;
  FontBlock font_out;
  FontBlock font;
  std::array<std::int32_t, 3> color_out;  // -1 none yet
  std::array<std::int32_t, 3> color;
  std::int32_t in_table;
  std::int32_t in_columns;
  std::int32_t col_count;
  std::int32_t row_count;
  std::int32_t cur_col;        // -1 before the first cell of a row
  std::int32_t saved_align;
  std::int32_t row_height;
  std::int32_t table_shade;
  std::array<std::int32_t, 3> table_rgb;
  std::int32_t img_height;
  std::int32_t img_width;
  std::int32_t img_format;
  std::int32_t img_placed;
  std::int32_t img_x;
  std::int32_t img_y;
  std::int32_t block_align;    // 0 none, 2 centred block (CTX), 3 right-aligned block (AFR)
  std::int32_t line_start;     // 1: nothing written since the last hard line break
  std::int32_t pending_align;  // alignment requested in mid-line; -1 none
  std::int32_t graphic_count;
  std::int32_t indent;         // every full 5 units are one list level
  std::int32_t indent_out;
  std::int32_t line_has_text;
  std::int32_t lang;
  std::int32_t lang_out;
  char *subject;               // summary strings: 256-byte library blocks, or none
  char *author;
  char *keywords;
  char *title;
  std::int32_t footnote_style;  // 0 arabic, 4 and 5 roman
  std::int32_t endnote_style;
};

// A code handler: called with the record and the code number; its result is not read.
using CodeHandler = int (*)(fmt_info *rec, std::int32_t code);

}  // namespace kiv
