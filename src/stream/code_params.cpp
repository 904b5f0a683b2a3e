// Parameter readers of the intermediate stream.
#include "stream/code_params.h"

#include <array>

#include "common/ascii.h"
#include "common/types.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"

namespace kiv {

namespace {

// Digit values of bytes in base 16; -1 for every other byte.
constexpr auto hex_digit_values = [] {
  std::array<signed char, 256> values{};
  for (int c = 0; c < 256; ++c) values[static_cast<std::size_t>(c)] = static_cast<signed char>(hex_value(c));
  return values;
}();

// How a parameter read in the source window ended.
enum class WindowEnd { not_read, at_us, at_rs };

// The common parameter, digits up to its US or the code's RS, when the whole
// of it is at hand in the source window: read there and taken in one step (an
// RS stays in the window as if read and pushed back, and is counted as read
// once more, as a pushed-back byte is). not_read when the parameter is
// anything else; then nothing is taken and the byte-wise reader runs.
template <int Base>
WindowEnd window_number(std::uint32_t &value, bool &any_digit) {
  const unsigned char *const start = b_window_begin();
  const unsigned char *const end = b_window_end();
  std::uint32_t v = 0;
  const unsigned char *p = start;
  for (; p < end; ++p) {
    int digit;
    if constexpr (Base == 10) digit = is_digit(*p) ? *p - '0' : -1;
    else digit = hex_digit_values[*p];
    if (digit < 0) break;
    v = v * Base + static_cast<std::uint32_t>(digit);  // wraps like the 32-bit original
  }
  if (p == end || (*p != US && *p != RS)) return WindowEnd::not_read;
  value = v;
  any_digit = p != start;
  if (*p == US) {
    b_take(p - start + 1);
    return WindowEnd::at_us;
  }
  b_take(p - start);
  bio.BCntRead += 1;
  return WindowEnd::at_rs;
}

}  // namespace

std::int32_t get_dec() {
  std::uint32_t value = 0;
  bool seen = false;
  switch (window_number<10>(value, seen)) {
    case WindowEnd::at_us: return static_cast<std::int32_t>(value);
    case WindowEnd::at_rs: return seen ? static_cast<std::int32_t>(value) : -1;
    case WindowEnd::not_read: break;
  }
  for (;;) {
    const int c = b_getc();
    if (c == end_of_input) return static_cast<std::int32_t>(value) > 0 ? static_cast<std::int32_t>(value) : -1;
    if (c == US) return static_cast<std::int32_t>(value);
    if (c == RS) {
      b_unget(c);
      return seen ? static_cast<std::int32_t>(value) : -1;
    }
    if (is_digit(c)) {
      value = value * 10 + static_cast<std::uint32_t>(c - '0');  // wraps like the 32-bit original
      seen = true;
    }
  }
}

void get_decs(std::int32_t *values, int count) {
  int i = 0;
  while (i < count) {
    // Parameters of digits and their US that lie whole in the window are
    // read there one after the other, and taken together.
    const unsigned char *const start = b_window_begin();
    const unsigned char *const end = b_window_end();
    const unsigned char *p = start;
    while (i < count) {
      // One digit and its US, the commonest parameter, in one step.
      if (end - p >= 2 && is_digit(p[0]) && p[1] == US) {
        values[i++] = p[0] - '0';
        p += 2;
        continue;
      }
      std::uint32_t v = 0;
      const unsigned char *q = p;
      for (; q < end && is_digit(*q); ++q) v = v * 10 + static_cast<std::uint32_t>(*q - '0');
      if (q == p || q == end || *q != US) break;
      values[i++] = static_cast<std::int32_t>(v);
      p = q + 1;
    }
    b_take(p - start);
    if (i < count) values[i++] = get_dec();  // any other parameter, byte by byte
  }
}

std::int32_t get_long() {
  std::uint32_t value = 0;
  for (;;) {
    const int c = b_getc();
    if (c == US) return static_cast<std::int32_t>(value);
    if (c == end_of_input || c == RS) {
      if (c == RS) b_unget(c);
      return value != 0 ? static_cast<std::int32_t>(value) : -1;
    }
    if (is_digit(c)) value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
}

std::int32_t get_hex() {
  std::uint32_t value = 0;
  bool any_digit = false;
  switch (window_number<16>(value, any_digit)) {
    case WindowEnd::at_us: return static_cast<std::int32_t>(value);
    case WindowEnd::at_rs: return static_cast<std::int32_t>(value) > 0 ? static_cast<std::int32_t>(value) : -1;
    case WindowEnd::not_read: break;
  }
  for (;;) {
    const int c = b_getc();
    if (c == US) return static_cast<std::int32_t>(value);
    if (c == end_of_input || c == RS) {
      if (c == RS) b_unget(c);
      return static_cast<std::int32_t>(value) > 0 ? static_cast<std::int32_t>(value) : -1;
    }
    const int digit = hex_value(c);
    if (digit >= 0) value = value * 16 + static_cast<std::uint32_t>(digit);
  }
}

std::int32_t GetHex8() {
  std::int32_t value = -1;
  for (int count = 0; count < 2; ++count) {
    const int c = b_getc();
    if (c == end_of_input) return -1;
    if (c == US) return value;
    if (c == RS) {
      b_unget(c);
      return value;
    }
    if (value == -1) value = 0;
    const int digit = hex_value(c);
    if (digit >= 0) value = value * 16 + digit;  // a non-hex byte still counts
  }
  return value;
}

std::int32_t b_get1b() {
  std::int32_t value = 0;
  for (;;) {
    const int c = b_getc();
    if (c == end_of_input) return -1;
    if (c == ESC) {
      x_icf2();
      value = '.';  // a nested code stands for one period
    } else if (c == RS) {
      b_unget(c);
      return -1;
    } else if (c == US) {
      return value;
    } else {
      value = c;
    }
  }
}

}  // namespace kiv
