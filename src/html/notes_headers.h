// Headers, footers, footnotes and endnotes: each is collected as a sub-document
// in one of four temporary buffers, under a saved and reset format record, and
// the buffers are written after the body. Owns the note counters and numbering
// (arabic and roman numerals).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "html/format_record.h"

namespace kiv {

// Kinds of sub-document (NoteMode).
enum SubDocKind : std::int32_t { subdoc_none = -1, subdoc_footnote = 0, subdoc_endnote = 1, subdoc_header = 2, subdoc_footer = 3 };

// Sub-documents open at once. Only notes nest (a note may begin inside a
// header, a footer or another note); a note beyond this depth is not collected
// and its text stays in the enclosing sub-document, so that a hostile stream
// cannot pile up saved records without end.
inline constexpr int subdoc_depth_limit = 8;

// One open sub-document: its kind, whether the record was saved and the output
// redirected when it began, and the open-FONT flag of the sub-document around it.
struct SubDocFrame {
  std::int32_t kind = subdoc_none;
  bool saved = false;
  bool redirected = false;
  std::int32_t outer_font_applied = 0;
};

struct NotesState {
  int HeaderBuffer = -1;    // temporary buffers of the collected texts, -1 none yet
  int FooterBuffer = -1;
  int FootnoteBuffer = -1;
  int EndnoteBuffer = -1;
  std::int32_t NoteMode = subdoc_none;  // kind of the innermost open sub-document
  std::int32_t FootnoteNum = 0;         // footnotes begun so far; names the next anchor
  std::int32_t EndnoteNum = 0;
  // A buffered sub-document waiting for the next hard line break. Every
  // sub-document here ends with its recorded kind, so it stays -1; the line
  // break still honours it.
  int SubDocBuffer = -1;
  std::array<SubDocFrame, subdoc_depth_limit> open{};  // open sub-documents, innermost last
  int open_count = 0;
  std::int32_t uncollected_notes = 0;  // notes begun beyond the depth limit and not yet ended
};
extern NotesState notes;

void reset_notes_headers();

// Roman numeral symbols, two per decimal place: I/V units, X/L tens, C/D
// hundreds, M/Q thousands, W/Y ten-thousands.
inline constexpr std::array<char, 10> roman = {'I', 'V', 'X', 'L', 'C', 'D', 'M', 'Q', 'W', 'Y'};
// Room for the longest numeral kivToRoman writes and its NUL.
inline constexpr std::size_t roman_text_size = 24;

// HF1 (footer), HF2 (header), HFX (end): at every level. A header or footer is
// begun only when no sub-document is open; HFX ends only a header or footer. 0.
int tt_hf(fmt_info *rec, std::int32_t code);
// FNT, FTN (a note begins) and EFN, EFT (it ends): at level 3 the note is
// collected and the text gets a superscript link to it; at levels 1 and 2 the
// codes are skipped and the note's text stays where it stands. 0.
int tt_fnt(fmt_info *rec, std::int32_t code);
// FNI: the number style of the footnotes (kind 0) or the endnotes that follow; 0.
int tt_fni(fmt_info *rec, std::int32_t code);

// Begins collecting a sub-document of the kind in NoteMode: saves the record,
// redirects the output into the kind's buffer (made on first use) and resets
// the record, keeping the note number styles. Without a buffer the output is not
// redirected and the record not reset; the saved record is restored at the end.
void enter_subdoc(fmt_info *rec);
// Ends the innermost sub-document: closes its attributes, paragraph, lists and
// FONT tag, restores the saved record (para_start set), writes closing (a tag
// that ends the sub-document) with a line end, and restores the output.
void exit_subdoc(fmt_info *rec, std::string_view closing = {});
// Ends every sub-document still open, as their end codes would.
void end_open_subdocs(fmt_info *rec);

// Copies a buffer's bytes to the output (nothing for -1). Sub-documents the
// stream left open are ended first, so that no buffer is copied into itself.
void DumpNoteBuffer(int handle);

// Writes value (unsigned, digits above the ten-thousands dropped) as a roman
// numeral into text, lower case when asked, and ends it with NUL; 0 gives the
// empty text. Never writes past text: a short text gets the numeral's start.
// Returns the characters written.
std::size_t kivToRoman(std::uint32_t value, std::span<char> text, bool lower_case);

}  // namespace kiv
