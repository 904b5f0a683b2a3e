// Tables and column layouts, and shading of tables and of the page.
#include "html/tables.h"

#include "stream/code_numbers.h"
#include "stream/code_params.h"

namespace kiv {

// Skips its code until this group of codes is carried out.
int tt_cds(fmt_info *, std::int32_t) { return x_icf(); }

int tt_shd(fmt_info *rec, std::int32_t) {
  const std::int32_t type = get_dec();
  const std::int32_t shade = get_dec();
  std::array<std::int32_t, 3> rgb{};
  for (std::int32_t &value : rgb) {
    value = get_hex();
    if (value < 0 || value > 255) value = 0;
  }
  if (type == 4) {
    rec->table_shade = shade;
    rec->table_rgb = rgb;
  } else if (type == 6) {
    rec->page_shade = shade;
    rec->page_rgb = rgb;
  }
  x_icf();
  return 0;
}

void background_colour(std::int32_t shade, std::array<std::int32_t, 3> &rgb) {
  constexpr std::int32_t grey = 127;
  if (shade >= 50) return;
  if (rgb[0] == 0 && rgb[1] == 0 && rgb[2] == 0) {
    rgb = {grey, grey, grey};
    return;
  }
  std::size_t largest = 0;
  for (std::size_t i = 1; i < rgb.size(); ++i)
    if (rgb[i] > rgb[largest]) largest = i;  // on equal values the first wins
  for (std::size_t i = 0; i < rgb.size(); ++i)
    if (i != largest) rgb[i] = grey;
}

}  // namespace kiv
