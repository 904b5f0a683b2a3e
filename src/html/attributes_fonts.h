// Character attributes, fonts and colours: the handlers only record the wanted
// state in the format record; CheckChanged brings the output up to date (closes
// tags, paragraph and list tags, FONT tag, opens tags) just before the next text.
#pragma once

#include <array>
#include <cstdint>

#include "html/format_record.h"

namespace kiv {

// Bits of attrs (wanted) and attrs_out (open in the output).
inline constexpr std::int32_t attr_superscript = 1;
inline constexpr std::int32_t attr_subscript = 2;
inline constexpr std::int32_t attr_italic = 4;
inline constexpr std::int32_t attr_double_underline = 8;
inline constexpr std::int32_t attr_bold = 16;
inline constexpr std::int32_t attr_strike_out = 32;
inline constexpr std::int32_t attr_underline = 64;
inline constexpr std::int32_t attr_blink = 128;
inline constexpr std::int32_t attr_redline = 256;
inline constexpr std::int32_t attr_fixed_pitch = 512;
inline constexpr std::int32_t attr_centred_block = 16384;
inline constexpr std::int32_t attr_font_changed = 32768;   // no tag of its own
inline constexpr std::int32_t attr_colour_set = 65536;     // no tag of its own
inline constexpr std::int32_t attr_right_block = 262144;

// A language id and its LANG tag class.
struct LanguageRow {
  std::int32_t id;
  const char *code;
};
inline constexpr std::size_t language_count = 46;
extern const std::array<LanguageRow, language_count> HTMLLangs;

// Face names: the first entry of a row is the face every entry of the row
// stands for; unused entries are empty.
inline constexpr std::size_t font_map_entries = 10;
extern const std::array<std::array<const char *, font_map_entries>, 2> font_map;

// Attribute handlers. Each skips the rest of its code, checks the level the
// code needs and switches its bit in attrs (setting changed); nothing is
// written, except by BHT/EHT (comment delimiters) and by the two codes routed
// here from other groups: NBR (a non-breaking space) and HNL (a hard line
// break). tt_attr1: BBT EBT ITO ITF BUL EUL BDU EDU BCU ECU BHT EHT NBR HNL;
// tt_attr2: BSO ESO; tt_attr3: SBS EBS SPS EPS BRL ERL; tt_attr_net: BFL EFL.
// All return 0.
int tt_attr1(fmt_info *rec, std::int32_t code);
int tt_attr2(fmt_info *rec, std::int32_t code);
int tt_attr3(fmt_info *rec, std::int32_t code);
int tt_attr_net(fmt_info *rec, std::int32_t code);
// BCL (colour from red, green, blue) and ECL (black), with either extension set; 0.
int tt_bcl(fmt_info *rec, std::int32_t code);
// SPF: point size (or pitch) and face; a Courier face turns on fixed pitch; 0.
int tt_spf(fmt_info *rec, std::int32_t code);

// Brings the output up to date before text, a character, an image, a table tag
// or a note is written: the first time outside a redirection it writes the
// document head and the BODY tag (FirstText = 1); then DropOffAttr and
// DropOnAttr. Clears changed. Cannot end the conversion (beyond write errors).
void CheckChanged(fmt_info *rec);
// Closes the tags of the attributes that went off (in attrs_out, not in attrs).
void DropOffAttr(fmt_info *rec);
// Writes the paragraph tag, the list tags, the FONT tag when font or colour
// changed and the tags of the attributes that came on (with the LANG tag among
// them); then attrs_out = attrs, font_out = font, changed = 0.
void DropOnAttr(fmt_info *rec);
// EndFont, then BeginFont(rec, block, flag).
void ApplyFont(fmt_info *rec, const FontBlock &block, int flag);
// With the Netscape extensions only: the FONT tag for block's size and the
// record's face and colour, followed by a line end;
// color_out = color, FontApplied = 1. A non-zero flag reopens, after it, the
// attributes that stay on (StartAttrsAfterFont).
void BeginFont(fmt_info *rec, const FontBlock &block, int flag);
// With the Netscape extensions only: closes the attributes that stay on
// (EndAttrsBeforeFont) and an open FONT tag ("</FONT>" on a line of its own;
// FontApplied = 0).
void EndFont(fmt_info *rec);
// Close / reopen, around a FONT change, the attributes open and staying on
// (in both attrs and attrs_out), so that FONT is the outermost tag of a run.
void EndAttrsBeforeFont(fmt_info *rec);
void StartAttrsAfterFont(fmt_info *rec);
// Six lower-case hexadecimal digits of a colour and a NUL into buffer (7
// bytes); each value contributes its low eight bits.
void get_color(std::int32_t red, std::int32_t green, std::int32_t blue, char *buffer);

// The module's state. The last FONT tag written, with its line end: the next
// tag of the same size, face and colour is the same bytes, written again as
// they are. And the faces met lately with what they normalise to: a document
// switches among a few faces over and over.
inline constexpr std::size_t font_tag_room = 48 + 6 * face_size;  // the face in its untrusted form
inline constexpr std::size_t known_face_count = 4;
struct KnownFace {
  std::array<char, face_size> given{};   // as the stream gives it, NUL-padded
  std::size_t given_length = 0;          // 0: unused
  std::array<char, face_size> mapped{};  // normalised, NUL-terminated
  bool fixed_pitch = false;              // the normalised face is the fixed-pitch one
};
struct FontsState {
  std::array<char, font_tag_room> tag{};
  std::size_t length = 0;       // 0: no tag yet
  std::array<char, face_size> face{};  // the face the tag was made for, as given
  std::size_t face_length = 0;         // its bytes (at most face_size, no NUL)
  std::size_t colour_at = 0;    // where the six colour digits begin
  std::array<KnownFace, known_face_count> known_faces{};
  std::size_t next_known = 0;   // the entry a new face replaces
};
extern FontsState fonts;
void reset_attributes_fonts();

// FONT SIZE number (1 to 7) for a size in twentieths of a point.
int font_size_number(std::int32_t size);
// List levels opened or closed for an indentation: indent / 5, never negative
// and at most max_list_levels.
inline constexpr std::int32_t max_list_levels = 1000;
std::int32_t list_levels(std::int32_t indent);


}  // namespace kiv
