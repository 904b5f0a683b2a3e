// Parameter readers of the intermediate stream.
#include "stream/code_params.h"

#include "common/ascii.h"
#include "common/types.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"

namespace kiv {

std::int32_t get_dec() {
  std::uint32_t value = 0;
  bool seen = false;
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
