// Bounds-checked readers over the recognition working copy. A position outside the
// data reads as 0, which is what the cleared working copy holds there, so a test
// that looks past a short block sees zeros and never leaves the buffer.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "recognition/autorec.h"
#include "recognition/compound_file.h"

namespace kiv {

using Pattern = std::span<const unsigned char>;

inline constexpr unsigned char CR = 0x0D;
inline constexpr unsigned char LF = 0x0A;

// The recognition state the recognisers read and set.
inline AutoRecState &st() { return autorec_state; }

// A recogniser's positive answer: the variant goes into the state.
inline int answer(int code, int variant) {
  autorec_state.ver = variant;
  return code;
}

// The bytes of a text literal, without its terminating NUL.
template <std::size_t N>
consteval std::array<unsigned char, N - 1> text(const char (&s)[N]) {
  std::array<unsigned char, N - 1> out{};
  for (std::size_t i = 0; i + 1 < N; ++i) out[i] = static_cast<unsigned char>(s[i]);
  return out;
}

// A pattern written as byte values.
template <typename... T>
consteval std::array<unsigned char, sizeof...(T)> bytes(T... values) {
  return {static_cast<unsigned char>(values)...};
}

// The UTF-16 little-endian form of an ASCII literal, without its NUL.
template <std::size_t N>
consteval std::array<unsigned char, 2 * (N - 1)> utf16(const char (&s)[N]) {
  std::array<unsigned char, 2 * (N - 1)> out{};
  for (std::size_t i = 0; i + 1 < N; ++i) out[2 * i] = static_cast<unsigned char>(s[i]);
  return out;
}

// Lowers an ASCII upper-case letter; any other value is returned unchanged.
constexpr int auto_lwr(int c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
constexpr int autoToLower(int c) { return auto_lwr(c); }

// 0 when the n bytes at data equal pattern, -1 otherwise. Both must hold n bytes.
inline int auto_chk_mtch(const unsigned char *data, const unsigned char *pattern, int n) {
  for (int i = 0; i < n; ++i) {
    if (data[i] != pattern[i]) return -1;
  }
  return 0;
}
// The same without regard to the case of ASCII letters.
inline int autoChkMatchI(const unsigned char *data, const unsigned char *pattern, int n) {
  for (int i = 0; i < n; ++i) {
    if (autoToLower(data[i]) != autoToLower(pattern[i])) return -1;
  }
  return 0;
}

// Byte at pos of the working copy, 0 outside the data.
inline int byte_at(std::int64_t pos) {
  const AutoRecState &s = autorec_state;
  return (pos >= 0 && pos < s.len) ? s.bufr[pos] : 0;
}

inline unsigned u16le(std::int64_t pos) {
  return static_cast<unsigned>(byte_at(pos)) | static_cast<unsigned>(byte_at(pos + 1)) << 8;
}
inline unsigned u16be(std::int64_t pos) {
  return static_cast<unsigned>(byte_at(pos)) << 8 | static_cast<unsigned>(byte_at(pos + 1));
}

// True when the bytes at pos equal the pattern (positions past the data read as 0).
inline bool matches(std::int64_t pos, Pattern pattern) {
  const AutoRecState &s = autorec_state;
  const auto n = static_cast<std::int64_t>(pattern.size());
  if (pos >= 0 && pos + n <= s.len) {
    return auto_chk_mtch(s.bufr + pos, pattern.data(), static_cast<int>(n)) == 0;
  }
  for (std::int64_t i = 0; i < n; ++i) {
    if (byte_at(pos + i) != pattern[static_cast<std::size_t>(i)]) return false;
  }
  return true;
}

// The same without regard to the case of ASCII letters.
inline bool matches_nocase(std::int64_t pos, Pattern pattern) {
  const auto n = static_cast<std::int64_t>(pattern.size());
  if (pos >= 0 && pos + n <= autorec_state.len) {
    return autoChkMatchI(autorec_state.bufr + pos, pattern.data(), static_cast<int>(n)) == 0;
  }
  for (std::int64_t i = 0; i < n; ++i) {
    if (auto_lwr(byte_at(pos + i)) != auto_lwr(pattern[static_cast<std::size_t>(i)])) return false;
  }
  return true;
}

// Position of the first byte equal to value in [from, stop) of the data, or stop.
inline std::int64_t find_byte(std::int64_t from, std::int64_t stop, unsigned char value) {
  const AutoRecState &s = autorec_state;
  stop = std::min<std::int64_t>(stop, s.len);
  if (from < 0) from = 0;
  if (from >= stop) return stop;
  const void *hit = std::memchr(s.bufr + from, value, static_cast<std::size_t>(stop - from));
  return hit == nullptr ? stop : static_cast<const unsigned char *>(hit) - s.bufr;
}

// True when the byte at pos is one of the listed values.
inline bool byte_in(std::int64_t pos, Pattern values) {
  const int c = byte_at(pos);
  for (unsigned char v : values) {
    if (c == v) return true;
  }
  return false;
}

// True when a 128-byte block at a multiple of 128, ending before len, starts with
// name and has no left sibling (bytes 68 to 71 all FF): a compound file whose
// directory lies in the block.
inline bool block_has_directory_entry(Pattern name) {
  const std::int64_t len = autorec_state.len;
  for (std::int64_t p = 0; p + directory_entry_size < len; p += directory_entry_size) {
    if (matches(p, name) && matches(p + 68, std::array<unsigned char, 4>{0xFF, 0xFF, 0xFF, 0xFF})) return true;
  }
  return false;
}

}  // namespace kiv
