// The list and override tables, and paragraph numbering.
#include "rtf_lists.h"

#include <algorithm>
#include <cstdio>

namespace kiv {
namespace {

ListDefinition *current_list(ListTables &tables) {
  return tables.list_count > 0 ? &tables.lists[static_cast<std::size_t>(tables.list_count - 1)] : nullptr;
}

ListOverride *current_override(ListTables &tables) {
  return tables.override_count > 0 ? &tables.overrides[static_cast<std::size_t>(tables.override_count - 1)] : nullptr;
}

const ListDefinition *find_list(const ListTables &tables, std::int32_t id) {
  for (int k = 0; k < tables.list_count; ++k)
    if (tables.lists[static_cast<std::size_t>(k)].id == id) return &tables.lists[static_cast<std::size_t>(k)];
  return nullptr;
}

ListOverride *find_override(ListTables &tables, std::int32_t number) {
  for (int k = 0; k < tables.override_count; ++k)
    if (tables.overrides[static_cast<std::size_t>(k)].number == number) return &tables.overrides[static_cast<std::size_t>(k)];
  return nullptr;
}

bool restarts_any(const ListOverride &o) {
  return std::any_of(o.restarts.begin(), o.restarts.end(), [](bool r) { return r; });
}

// The counters of an override: instances of one list continue each other's
// numbers, unless an instance restarts a level, which gives it its own.
ListCounters &counters_of(ListTables &tables, ListOverride &o) {
  if (o.counters < 0) {
    if (!restarts_any(o)) {
      for (int k = 0; k < tables.override_count; ++k) {
        const ListOverride &other = tables.overrides[static_cast<std::size_t>(k)];
        if (&other != &o && other.counters >= 0 && other.list_id == o.list_id && !restarts_any(other)) {
          o.counters = other.counters;
          break;
        }
      }
    }
    if (o.counters < 0) o.counters = tables.counter_count++;  // never more sets than overrides
  }
  return tables.counters[static_cast<std::size_t>(o.counters)];
}

std::int32_t start_of(const ListDefinition &list, const ListOverride &o, int level) {
  const auto k = static_cast<std::size_t>(level);
  if (o.restarts[k]) return o.start[k];
  return level < list.level_count ? list.levels[k].start : 1;
}

struct MarkerText {
  std::array<char32_t, rtf_marker_max> *chars;
  int len = 0;
  void add(char32_t c) {
    if (len < rtf_marker_max) (*chars)[static_cast<std::size_t>(len++)] = c;
  }
  void add(const char *text) {
    for (; *text != '\0'; ++text) add(static_cast<char32_t>(static_cast<unsigned char>(*text)));
  }
};

void add_roman(MarkerText &out, std::int32_t n, bool upper) {
  constexpr std::array<std::pair<std::int32_t, const char *>, 13> numerals = {{
      {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
      {40, "xl"}, {10, "x"}, {9, "ix"}, {5, "v"}, {4, "iv"}, {1, "i"},
  }};
  for (const auto &[value, letters] : numerals) {
    for (; n >= value; n -= value)
      for (const char *p = letters; *p != '\0'; ++p) out.add(static_cast<char32_t>(upper ? *p - 32 : *p));
  }
}

// A number in a level's format: letters repeat past Z (AA, BB), roman
// numerals and letters fall back to decimal outside their range.
void add_number(MarkerText &out, std::int32_t n, std::int32_t format) {
  char digits[16];
  switch (format) {
    case nfc_none:
    case nfc_bullet:
      return;
    case nfc_upper_roman:
    case nfc_lower_roman:
      if (n > 0 && n < 4000) return add_roman(out, n, format == nfc_upper_roman);
      break;
    case nfc_upper_letter:
    case nfc_lower_letter:
      if (n > 0 && n <= 26 * 8) {
        for (int k = 0; k <= (n - 1) / 26; ++k)
          out.add(static_cast<char32_t>((format == nfc_upper_letter ? 'A' : 'a') + (n - 1) % 26));
        return;
      }
      break;
    case nfc_leading_zero:
      std::snprintf(digits, sizeof digits, "%02d", n);
      return out.add(digits);
    case nfc_ordinal: {
      const std::int32_t last = n % 10, tens = n % 100;
      const char *suffix = tens >= 11 && tens <= 13 ? "th" : last == 1 ? "st" : last == 2 ? "nd" : last == 3 ? "rd" : "th";
      std::snprintf(digits, sizeof digits, "%d", n);
      out.add(digits);
      return out.add(suffix);
    }
    default:
      break;
  }
  std::snprintf(digits, sizeof digits, "%d", n);
  out.add(digits);
}

}  // namespace

void begin_list(ListTables &tables) {
  if (tables.list_count < rtf_list_max) tables.lists[static_cast<std::size_t>(tables.list_count++)] = {};
  else tables.lists[rtf_list_max - 1] = {};  // a list past the table's end takes its last place
}

void begin_list_level(ListTables &tables) {
  ListDefinition *list = current_list(tables);
  if (list != nullptr && list->level_count < rtf_list_levels) list->levels[static_cast<std::size_t>(list->level_count++)] = {};
}

ListLevel *current_list_level(ListTables &tables) {
  ListDefinition *list = current_list(tables);
  if (list == nullptr || list->level_count == 0) return nullptr;
  return &list->levels[static_cast<std::size_t>(list->level_count - 1)];
}

void set_list_id(ListTables &tables, std::int32_t id, bool override) {
  if (override) {
    if (ListOverride *o = current_override(tables)) o->list_id = id;
  } else if (ListDefinition *list = current_list(tables)) {
    list->id = id;
  }
}

void begin_list_override(ListTables &tables) {
  if (tables.override_count < rtf_list_override_max) tables.overrides[static_cast<std::size_t>(tables.override_count++)] = {};
  else tables.overrides[rtf_list_override_max - 1] = {};
}

void set_override_number(ListTables &tables, std::int32_t number) {
  if (ListOverride *o = current_override(tables)) o->number = number;
}

void begin_override_level(ListTables &tables) {
  ListOverride *o = current_override(tables);
  if (o != nullptr && o->level_count < rtf_list_levels) ++o->level_count;
}

void restart_override_level(ListTables &tables) {
  ListOverride *o = current_override(tables);
  if (o == nullptr || o->level_count == 0) return;
  const auto k = static_cast<std::size_t>(o->level_count - 1);
  if (!o->restarts[k]) o->start[k] = 1;
  o->restarts[k] = true;
}

void set_override_start(ListTables &tables, std::int32_t start) {
  ListOverride *o = current_override(tables);
  if (o != nullptr && o->level_count > 0) o->start[static_cast<std::size_t>(o->level_count - 1)] = start;
}

void add_level_text(ListTables &tables, char32_t c) {
  ListLevel *level = current_list_level(tables);
  if (level != nullptr && level->text_len < rtf_level_text_max) level->text[static_cast<std::size_t>(level->text_len++)] = c;
}

const ListLevel *number_list_paragraph(ListTables &tables, std::int32_t ls, std::int32_t ilvl,
                                       std::array<char32_t, rtf_marker_max> *marker, int *marker_len) {
  ListOverride *o = find_override(tables, ls);
  const ListDefinition *list = o != nullptr ? find_list(tables, o->list_id) : nullptr;
  if (list == nullptr || list->level_count == 0) return nullptr;
  const int level = std::clamp(ilvl, 0, list->level_count - 1);
  ListCounters &counters = counters_of(tables, *o);
  const auto k = static_cast<std::size_t>(level);
  counters.value[k] = counters.started[k] ? counters.value[k] + 1 : start_of(*list, *o, level);
  counters.started[k] = true;
  for (int deeper = level + 1; deeper < rtf_list_levels; ++deeper)
    if (deeper >= list->level_count || !list->levels[static_cast<std::size_t>(deeper)].no_restart)
      counters.started[static_cast<std::size_t>(deeper)] = false;
  const ListLevel &definition = list->levels[k];
  if (marker == nullptr) return &definition;

  // The text's first character is its length; characters 0 to 8 stand for
  // the number of that level. Text without a length runs to its end.
  MarkerText out{marker};
  if (definition.text_len == 0) {  // no text: the number and a full stop, or a bullet
    if (definition.format == nfc_bullet) out.add(U'\u2022');
    add_number(out, counters.value[k], definition.format);
    if (definition.format != nfc_bullet && definition.format != nfc_none) out.add(U'.');
  }
  int begin = 0, end = definition.text_len;
  if (definition.text_len > 0 && definition.text[0] < 0x20) {
    begin = 1;
    end = std::min(end, 1 + static_cast<int>(definition.text[0]));
  }
  for (int i = begin; i < end; ++i) {
    const char32_t c = definition.text[static_cast<std::size_t>(i)];
    if (c >= static_cast<char32_t>(rtf_list_levels)) {
      out.add(c);
      continue;
    }
    const auto shown = static_cast<std::size_t>(c);
    if (static_cast<int>(shown) >= list->level_count) continue;
    const std::int32_t value = counters.started[shown] ? counters.value[shown] : start_of(*list, *o, static_cast<int>(shown));
    const std::int32_t format = definition.legal && static_cast<int>(shown) < level ? nfc_decimal : list->levels[shown].format;
    add_number(out, value, format);
  }
  *marker_len = out.len;
  return &definition;
}

}  // namespace kiv
