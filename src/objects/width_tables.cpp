// Width cache over the stock width tables.
#include "objects/width_tables.h"

#include <cstring>
#include <string_view>

#include "runtime/memory.h"
#include "runtime/strings.h"

namespace kiv {

WidthTableState width_tables;

namespace {

// Widths in 1/240 of the font size; codes 0-31 are 190 in both tables.
constexpr std::array<unsigned char, 256> HelvWidthTable = {
    /*   0 */ 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190,
    /*  16 */ 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190,
    /*  32 */ 45, 45, 75, 105, 105, 180, 135, 45, 60, 60, 75, 105, 45, 60, 45, 60,
    /*  48 */ 105, 105, 105, 105, 105, 105, 105, 105, 105, 105, 45, 45, 105, 105, 105, 105,
    /*  64 */ 210, 135, 135, 135, 150, 135, 120, 150, 150, 45, 105, 120, 105, 165, 150, 150,
    /*  80 */ 135, 150, 150, 135, 135, 150, 135, 195, 120, 135, 120, 60, 60, 60, 105, 105,
    /*  96 */ 60, 120, 120, 105, 120, 120, 45, 120, 105, 45, 45, 105, 45, 165, 105, 120,
    /* 112 */ 120, 120, 60, 105, 45, 105, 105, 135, 90, 105, 90, 75, 45, 75, 135, 60,
    /* 128 */ 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60,
    /* 144 */ 60, 45, 45, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60,
    /* 160 */ 45, 45, 105, 105, 105, 105, 45, 105, 60, 120, 75, 105, 105, 60, 120, 105,
    /* 176 */ 60, 105, 60, 60, 60, 105, 105, 45, 60, 60, 75, 105, 135, 135, 135, 105,
    /* 192 */ 135, 135, 135, 135, 135, 135, 195, 135, 135, 135, 135, 135, 45, 45, 45, 45,
    /* 208 */ 135, 150, 150, 150, 150, 150, 150, 105, 150, 150, 150, 150, 150, 135, 135, 120,
    /* 224 */ 120, 120, 120, 120, 120, 120, 195, 105, 120, 120, 120, 120, 45, 45, 45, 45,
    /* 240 */ 120, 105, 120, 120, 120, 120, 120, 105, 120, 105, 105, 105, 105, 105, 120, 105,
};

constexpr std::array<unsigned char, 256> TimesWidthTable = {
    /*   0 */ 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190,
    /*  16 */ 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190, 190,
    /*  32 */ 60, 75, 75, 105, 105, 180, 165, 45, 75, 75, 105, 120, 60, 75, 60, 60,
    /*  48 */ 105, 105, 105, 105, 105, 105, 105, 105, 105, 105, 45, 60, 120, 120, 120, 90,
    /*  64 */ 195, 135, 120, 135, 150, 120, 120, 150, 135, 75, 90, 135, 120, 180, 150, 150,
    /*  80 */ 120, 150, 135, 120, 135, 135, 135, 195, 150, 135, 120, 75, 60, 75, 90, 105,
    /*  96 */ 60, 90, 105, 105, 105, 90, 75, 105, 105, 45, 45, 105, 45, 165, 105, 105,
    /* 112 */ 105, 105, 75, 90, 60, 105, 105, 165, 105, 105, 90, 105, 45, 105, 120, 165,
    /* 128 */ 165, 165, 75, 105, 90, 210, 105, 105, 75, 210, 120, 75, 180, 165, 165, 165,
    /* 144 */ 165, 75, 75, 90, 90, 60, 105, 210, 75, 195, 75, 75, 150, 165, 165, 150,
    /* 160 */ 60, 75, 105, 105, 105, 105, 45, 105, 75, 165, 60, 105, 120, 75, 165, 105,
    /* 176 */ 90, 120, 60, 60, 60, 120, 90, 60, 60, 60, 60, 105, 150, 165, 165, 75,
    /* 192 */ 150, 150, 150, 150, 150, 150, 180, 135, 135, 135, 135, 135, 75, 75, 75, 75,
    /* 208 */ 150, 150, 150, 150, 150, 150, 150, 120, 150, 150, 150, 150, 150, 150, 120, 105,
    /* 224 */ 90, 90, 90, 90, 90, 90, 135, 90, 90, 90, 90, 90, 60, 60, 60, 60,
    /* 240 */ 105, 105, 105, 105, 105, 105, 105, 120, 105, 105, 105, 105, 105, 105, 105, 105,
};

enum FontClass { serif = 0, sans_serif = 1, fixed_pitch = 2 };

struct StockFont {
  std::string_view pattern;
  FontClass font_class;
};

// Searched in order; a pattern matches anywhere in the name, case-blind.
constexpr std::array<StockFont, 7> StockFonts = {{
    {"Helv", sans_serif},
    {"Arial", sans_serif},
    {"Swiss", sans_serif},
    {"Modern", fixed_pitch},
    {"Courier", fixed_pitch},
    {"Pica", fixed_pitch},
    {"MS Line", fixed_pitch},
}};

// Width reported while no font is current.
constexpr int default_width = 120;

FontClass class_of(const char *name) {
  for (const StockFont &font : StockFonts) {
    char pattern[16] = {};
    std::memcpy(pattern, font.pattern.data(), font.pattern.size());
    if (strstri(name, pattern)) return font.font_class;
  }
  return serif;
}

void build_widths(std::int32_t *widths, const char *name, std::int32_t size) {
  const std::int32_t w = size * 3 / 5;
  const FontClass font_class = class_of(name);
  const auto &stock = font_class == sans_serif ? HelvWidthTable : TimesWidthTable;
  for (std::size_t c = 0; c < 256; ++c)
    widths[c] = font_class == fixed_pitch ? w : w * stock[c] / 144;
}

// All entries in use: the one used least recently since it was filled goes.
FontTable &entry_to_replace() {
  FontTable *oldest = &width_tables.FontTables[0];
  for (FontTable &t : width_tables.FontTables)
    if (t.age > oldest->age) oldest = &t;
  return *oldest;
}

}  // namespace

int SetFont(const char *name, int points, int style) {
  WidthTableState &s = width_tables;
  if (!name) name = "";
  const std::int32_t size = points * 20;
  if (s.FirstTime) {
    for (FontTable &t : s.FontTables) {
      t = {};
      t.widths = static_cast<std::int32_t *>(KIVmalloc(256 * sizeof(std::int32_t)));
      if (!t.widths) {
        release_width_tables();
        return -1;
      }
    }
    s.FirstTime = false;
  }
  for (FontTable &t : s.FontTables) ++t.age;
  for (FontTable &t : s.FontTables) {
    if (t.name && t.size == size && t.style == style && std::strcmp(t.name, name) == 0) {
      t.age = 0;
      s.ActiveTable = t.widths;
      return 0;
    }
  }
  FontTable *slot = nullptr;
  for (FontTable &t : s.FontTables)
    if (!t.name) {
      slot = &t;
      break;
    }
  if (!slot) slot = &entry_to_replace();
  KIVLoadCharWidthTable();  // declines: the stock tables are used
  build_widths(slot->widths, name, size);
  slot->size = size;
  slot->style = style;
  slot->age = 0;
  KIVfree(slot->name);
  slot->name = new_string(name);
  s.ActiveTable = slot->widths;
  return 0;
}

int CharWidth(int code) {
  if (!width_tables.ActiveTable) return default_width;
  return width_tables.ActiveTable[code & 0xFF];
}

int StrWidth(const unsigned char *text) {
  if (!width_tables.ActiveTable) return default_width;
  int total = 0;
  for (; text && *text; ++text) total += width_tables.ActiveTable[*text];
  return total;
}

int KIVLoadCharWidthTable() { return -1; }

void release_width_tables() {
  for (FontTable &t : width_tables.FontTables) {
    KIVfree(t.name);
    KIVfree(t.widths);
  }
  width_tables = {};
}

void forget_width_tables() { width_tables = {}; }

}  // namespace kiv
