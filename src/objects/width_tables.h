// Character widths in the current font, estimated from two stock tables (a
// sans-serif and a serif face; fixed-pitch faces get one width) and kept in a
// cache of fifteen fonts.
#pragma once

#include <array>
#include <cstdint>

namespace kiv {

inline constexpr int font_cache_slots = 15;

struct FontTable {
  char *name = nullptr;             // null: a free entry
  std::int32_t size = 0;            // twips (points x 20)
  std::int32_t style = 0;           // compared, otherwise unused
  std::int32_t *widths = nullptr;   // 256 widths in twips
  std::int32_t age = 0;             // uses since the entry was filled
};

struct WidthTableState {
  std::array<FontTable, font_cache_slots> FontTables{};
  const std::int32_t *ActiveTable = nullptr;  // widths of the current font
  bool FirstTime = true;                      // the cache is not set up yet
};
extern WidthTableState width_tables;

// Makes the font current, building its widths unless cached. 0, or -1 when the
// cache cannot be set up (no memory).
int SetFont(const char *name, int points, int style);
// Width of character code 0..255 in the current font, in twips; 120 when no
// font has been set.
int CharWidth(int code);
// Sum of the widths of text's characters; 120 when no font has been set.
int StrWidth(const unsigned char *text);
// A width table from elsewhere: none is ever loaded, so -1.
int KIVLoadCharWidthTable();
// Frees the cache; a conversion starts with an empty one.
void release_width_tables();
// Drops the cache without freeing (its memory has been released).
void forget_width_tables();

}  // namespace kiv
