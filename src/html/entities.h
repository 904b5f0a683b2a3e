// Characters outside ASCII: XCS names one character of one of seven character
// sets, UCS and HEX give characters of the IBM PC set as hexadecimal values,
// NBR is a non-breaking space. One table turns them into entities by level;
// a character with no usable row becomes "_". With the option word UNICODE, a
// further set carries Unicode scalar values, and every character whose value is
// known but has no entity at the chosen level is written as "&#N;".
#pragma once

#include <array>
#include <cstdint>

#include "html/format_record.h"

namespace kiv {

inline constexpr std::size_t char_set_count = 7;
// The character-set numbers, in the column order of html_ext.
extern const std::array<std::int32_t, char_set_count> CharSets;
// The set of Unicode scalar values; it has no column: its characters are written
// as numeric references when the option is on, else the substitute stands.
inline constexpr std::int32_t unicode_char_set = 10646;

// One row of html_ext: the level it needs (0 any, 2 only at ver_code 2), the
// text written, and the character's value in each set (-1: the set lacks it).
struct EntityRow {
  std::int32_t level;
  const char *text;
  std::array<std::int32_t, char_set_count> values;
};
inline constexpr std::size_t entity_count = 161;
// Searched in order; the first row holding the value wins.
extern const std::array<EntityRow, entity_count> html_ext;

// 0 when some row holds value in the column of character set set, else -1.
int LookUpXChar(std::int32_t set, std::int32_t value);
// Writes the entity for value of set, or "_" when there is no row or the row
// needs a higher level than ver_code (a numeric reference instead when the
// option is on and the character's Unicode value is known).
void PutXChar(fmt_info *rec, std::int32_t set, std::int32_t value);

// XCS: one character of a named set. When a row is found its entity is written
// and the substitute character the stream carries after the code is dropped;
// otherwise the substitute is left for the main loop to copy. 0.
int tt_xcs(fmt_info *rec, std::int32_t code);
// UCS and HEX: every hexadecimal parameter as a character of the IBM PC set. 0.
int tt_ucs(fmt_info *rec, std::int32_t code);
// NBR (routed through tt_attr1), after its code's name: skips the code, brings
// the tags up to date and writes "&nbsp" (no semicolon). 0.
int put_nbsp(fmt_info *rec);

}  // namespace kiv
