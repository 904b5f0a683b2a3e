// ASCII-only character classes and case folding on bytes (never the C locale).
#pragma once

namespace kiv {

constexpr bool is_digit(int c) { return c >= '0' && c <= '9'; }
constexpr bool is_upper(int c) { return c >= 'A' && c <= 'Z'; }
constexpr bool is_lower(int c) { return c >= 'a' && c <= 'z'; }
constexpr int to_upper_ascii(int c) { return is_lower(c) ? c - 32 : c; }
constexpr int to_lower_ascii(int c) { return is_upper(c) ? c + 32 : c; }

// Value of a hexadecimal digit, or -1.
constexpr int hex_value(int c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 55;
  if (c >= 'a' && c <= 'f') return c - 87;
  return -1;
}

}  // namespace kiv
