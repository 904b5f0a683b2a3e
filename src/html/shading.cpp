// Shading of tables and of the page.
#include "html/shading.h"

#include "html/attributes_fonts.h"
#include "html/output.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"

namespace kiv {

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

void add_background(MarkupPiece &piece, std::int32_t shade, std::array<std::int32_t, 3> &rgb) {
  background_colour(shade, rgb);
  char digits[7];
  get_color(rgb[0], rgb[1], rgb[2], digits);
  piece.add(" BGCOLOR=\"#");
  piece.add(digits);
  piece.add("\"");
}

void put_background(std::int32_t shade, std::array<std::int32_t, 3> &rgb) {
  MarkupPiece piece;
  add_background(piece, shade, rgb);
  piece.write();
}

}  // namespace kiv
