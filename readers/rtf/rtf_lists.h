// Numbered and bulleted lists of the list table: the list definitions
// (\listtable), the list instances that paragraphs name with \ls
// (\listoverridetable), and the counters that number the paragraphs. The
// tables are bounded; a paragraph names its list and level (\ls, \ilvl) and
// gets its marker text from here when the document gives none (\listtext).
#pragma once

#include <array>
#include <cstdint>

namespace kiv {

inline constexpr int rtf_list_max = 64;
inline constexpr int rtf_list_override_max = 256;
inline constexpr int rtf_list_levels = 9;
inline constexpr int rtf_level_text_max = 24;  // characters of a level's marker text
inline constexpr int rtf_marker_max = 64;      // characters of a marker with its numbers

// A character of a level's text: below level_byte_base a Unicode character
// (0 to 8 stand for the number of that level); from level_byte_base on a byte
// in the code page of the level's font, decoded when the marker is written.
inline constexpr char32_t level_byte_base = 0x110000;

// Number formats of \levelnfc.
inline constexpr std::int32_t nfc_decimal = 0, nfc_upper_roman = 1, nfc_lower_roman = 2, nfc_upper_letter = 3,
                              nfc_lower_letter = 4, nfc_ordinal = 5, nfc_leading_zero = 22, nfc_bullet = 23,
                              nfc_none = 255;

struct ListLevel {
  std::int32_t format = nfc_decimal;
  std::int32_t start = 1;
  std::int32_t follow = 0;    // after the marker: 0 a tab, 1 a space, 2 nothing
  std::int32_t font = -1;     // the marker's font, for the code page of its bytes
  bool legal = false;         // the numbers of the levels above in decimal
  bool no_restart = false;    // not restarted by a paragraph of a level above
  std::array<char32_t, rtf_level_text_max> text{};
  int text_len = 0;
};

struct ListDefinition {
  std::int32_t id = 0;
  std::array<ListLevel, rtf_list_levels> levels{};
  int level_count = 0;
};

struct ListOverride {
  std::int32_t number = 0;   // \ls
  std::int32_t list_id = 0;
  std::array<std::int32_t, rtf_list_levels> start{};  // start values that replace the list's
  std::array<bool, rtf_list_levels> restarts{};       // which levels have one
  int level_count = 0;       // \lfolevel groups seen
  int counters = -1;         // the counter set it numbers with
};

struct ListCounters {
  std::array<std::int32_t, rtf_list_levels> value{};
  std::array<bool, rtf_list_levels> started{};
};

struct ListTables {
  std::array<ListDefinition, rtf_list_max> lists{};
  int list_count = 0;
  std::array<ListOverride, rtf_list_override_max> overrides{};
  int override_count = 0;
  std::array<ListCounters, rtf_list_override_max> counters{};
  int counter_count = 0;
};

// The list table: a \list begins a definition, a \listlevel its next level.
void begin_list(ListTables &tables);
void begin_list_level(ListTables &tables);
// The level of the list table being defined, or null.
ListLevel *current_list_level(ListTables &tables);
// \listid: of the current list, or (override true) the list an override numbers.
void set_list_id(ListTables &tables, std::int32_t id, bool override);
// The override table: a \listoverride begins an instance, \ls numbers it, an
// \lfolevel begins its next level, \listoverridestartat restarts that level
// (at 1 unless a \levelstartat in the \lfolevel says otherwise).
void begin_list_override(ListTables &tables);
void set_override_number(ListTables &tables, std::int32_t number);
void begin_override_level(ListTables &tables);
void restart_override_level(ListTables &tables);
void set_override_start(ListTables &tables, std::int32_t start);
// Adds a character to the text of the current level.
void add_level_text(ListTables &tables, char32_t c);

// A paragraph of list ls at level ilvl: counts it and, when marker is not
// null, puts its marker text there (the level's characters with the numbers
// written out, no more than rtf_marker_max). The level's definition, or null
// when the document defines no such list (nothing is counted then).
const ListLevel *number_list_paragraph(ListTables &tables, std::int32_t ls, std::int32_t ilvl,
                                       std::array<char32_t, rtf_marker_max> *marker, int *marker_len);

}  // namespace kiv
