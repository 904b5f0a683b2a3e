// Writing the reader's codes through beg_icf, the parameter writers and end_icf.
#include "rtf_stream_output.h"

#include <array>
#include <bit>
#include <string_view>

#include "html/entities.h"
#include "stream/code_numbers.h"

namespace kiv {
namespace {

// A string parameter: its printable bytes, then the parameter's end.
void put_string(const char *text) {
  if (text != nullptr) {
    // Runs of the bytes that are kept go out in one piece.
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    for (;;) {
      const unsigned char *run = p;
      while (*p >= 0x20 && *p != 0x7F) ++p;
      if (p > run) b_putn(run, p - run);
      if (*p == '\0') break;
      ++p;
    }
  }
  b_putc(US);
}

constexpr std::string_view hex_digits = "0123456789ABCDEF";

// A hexadecimal parameter of up to 32 bits, without leading zeros, written
// in one piece.
void put_hex(std::uint32_t value) {
  int digits = 1;
  while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
  b_put_filled(digits + 1, [value, digits](unsigned char *p) {
    for (int k = 0; k < digits; ++k) p[k] = static_cast<unsigned char>(hex_digits[(value >> (4 * (digits - 1 - k))) & 15]);
    p[digits] = US;
  });
}

// The low byte of value as a parameter of two hexadecimal digits, as
// hex_out(value, 1) writes it.
void put_hex_byte(int value) {
  b_put_filled(3, [value](unsigned char *p) {
    p[0] = static_cast<unsigned char>(hex_digits[(value >> 4) & 15]);
    p[1] = static_cast<unsigned char>(hex_digits[value & 15]);
    p[2] = US;
  });
}

// A decimal parameter, as dec_out writes it; the one-digit numbers that most
// of the codes carry are written here at once.
inline void put_decimal(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value) & 0xFFFF;
  if (v < 10) b_put_filled(2, [v](unsigned char *p) {
    p[0] = static_cast<unsigned char>('0' + v);
    p[1] = US;
  });
  else dec_out(value);
}

// The attributes that have codes, one bit each, in the order their codes are
// written, and their codes.
unsigned attribute_bits(const CharFormat &f) {
  return (f.bold ? 1u : 0u) | (f.italic ? 2u : 0u) | (f.underline == 1 ? 4u : 0u) | (f.underline == 2 ? 8u : 0u) |
         (f.strike ? 16u : 0u) | (f.script == 1 ? 32u : 0u) | (f.script == 2 ? 64u : 0u) | (f.caps ? 128u : 0u);
}
constexpr std::array<IcfCode, 8> attribute_on = {code("BBT"), code("ITO"), code("BUL"), code("BDU"),
                                                 code("BSO"), code("SPS"), code("SBS"), code("BCU")};
constexpr std::array<IcfCode, 8> attribute_off = {code("EBT"), code("ITF"), code("EUL"), code("EDU"),
                                                  code("ESO"), code("EPS"), code("EBS"), code("ECU")};

}  // namespace

void put_code(IcfCode code) { out_icf(code); }
void put_tab() { out_icf(code("TAB")); }
void put_line_break() { out_icf(code("HNL")); }
void put_nonbreaking_space() { out_icf(code("NBR")); }

void put_character(char32_t c) {
  beg_icf(code("XCS"));
  put_decimal(c <= 0xFF ? CharSets[4] : unicode_char_set);
  put_hex(static_cast<std::uint32_t>(c));
  end_icf();
  b_putc('_');
}

void put_attribute_codes(const CharFormat &have, const CharFormat &want) {
  // Attributes that go off first, then those that come on.
  const unsigned had = attribute_bits(have), wanted = attribute_bits(want);
  for (unsigned off = had & ~wanted; off != 0; off &= off - 1) out_icf(attribute_off[static_cast<std::size_t>(std::countr_zero(off))]);
  for (unsigned on = wanted & ~had; on != 0; on &= on - 1) out_icf(attribute_on[static_cast<std::size_t>(std::countr_zero(on))]);
}

void put_font(std::int32_t size, const char *face) {
  beg_icf(code("SPF"));
  put_decimal(0);
  put_decimal(0);
  put_decimal(0);
  put_decimal(0);
  put_decimal(size * 10);
  put_string(face);
  end_icf();
}

void put_color(std::int32_t red, std::int32_t green, std::int32_t blue) {
  beg_icf(code("BCL"));
  put_decimal(0);
  put_decimal(red);
  put_decimal(green);
  put_decimal(blue);
  end_icf();
}

void put_color_off() { out_icf(code("ECL")); }

void put_language(std::int32_t lang) {
  beg_icf(code("SLG"));
  put_decimal(lang);
  end_icf();
}

void put_alignment(std::uint8_t align) {
  constexpr IcfCode codes[4] = {code("ERJ"), code("BRJ"), code("BCA"), code("BRA")};
  out_icf(codes[align & 3]);
}

void put_indent(std::int32_t tenths) {
  beg_icf(code("STM"));
  put_decimal(0);
  put_decimal(tenths);
  end_icf();
}

void put_table_start(std::uint8_t align, const std::int32_t *rights, int count) {
  beg_icf(code("CDS"));
  put_hex_byte(0x08 | (align << 4));  // a real table, aligned as its rows
  put_decimal(count);
  for (int k = 0; k < count; ++k) put_decimal(rights[k]);
  end_icf();
}

void put_row(std::int32_t height, bool border, bool header) {
  beg_icf(code("BRO"));
  put_decimal(0);
  put_decimal(0);
  put_decimal(height);
  put_decimal(border ? 1 : 0);
  if (header) put_decimal(1);
  end_icf();
}

void put_cell(int column, int colspan, int rowspan, bool covered, std::uint8_t align, std::uint8_t valign) {
  beg_icf(code("BCO"));
  put_decimal(column);
  put_decimal(colspan);
  put_decimal(rowspan);
  put_decimal(covered ? 1 : 0);
  put_decimal(align);
  put_decimal(0);
  put_decimal(valign);
  end_icf();
}

void put_table_end() { out_icf(code("ECM")); }

void put_note_start(bool endnote, std::int32_t number) {
  beg_icf(code("FNT"));
  put_hex_byte(endnote ? 2 : 0);
  put_hex_byte(number >> 8);
  put_hex_byte(number);
  end_icf();
}

void put_link_start(const char *target, bool internal) {
  beg_icf(code("XRF"));
  put_hex_byte(4);
  put_decimal(internal ? 3 : 12);
  put_string(target);
  put_string("");
  end_icf();
}

void put_link_end() {
  beg_icf(code("XRF"));
  put_hex_byte(5);
  end_icf();
}

void put_anchor(const char *name) {
  beg_icf(code("XRF"));
  put_hex_byte(1);
  put_decimal(3);
  put_string(name);
  put_string("");
  end_icf();
}

void put_summary_fields(const char *const *fields, int count) {
  beg_icf(code("SSI"));
  for (int k = 0; k < count; ++k) put_string(fields[k]);
  end_icf();
}

}  // namespace kiv
