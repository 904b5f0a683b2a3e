// String and number routines of the library.
#include "runtime/strings.h"

#include <algorithm>
#include <cstring>

#include "common/ascii.h"
#include "runtime/memory.h"

namespace kiv {

namespace {

char *unsigned_to_text(unsigned long magnitude, bool negative, char *out, int radix) {
  if (radix < 2 || radix > 36) radix = 10;
  constexpr std::string_view digits = "0123456789abcdefghijklmnopqrstuvwxyz";
  char *p = out;
  do {
    *p++ = digits[magnitude % static_cast<unsigned>(radix)];
    magnitude /= static_cast<unsigned>(radix);
  } while (magnitude != 0);
  if (negative) *p++ = '-';
  *p = '\0';
  std::reverse(out, p);
  return out;
}

}  // namespace

char *ltoa(long value, char *out, int radix) {
  const bool negative = value < 0 && radix == 10;
  const unsigned long magnitude =
      negative ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  return unsigned_to_text(magnitude, negative, out, radix);
}

char *itoa(int value, char *out, int radix) {
  // Outside radix 10 the value is taken as its 32-bit pattern, as the C runtimes do.
  if (radix != 10) return unsigned_to_text(static_cast<unsigned int>(value), false, out, radix);
  return ltoa(value, out, radix);
}

int strnicmp(const char *a, const char *b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) {
      if (a[i] == '\0') return 0;
      continue;  // equal bytes need no folding: the common case for font faces
    }
    const int ca = to_lower_ascii(static_cast<unsigned char>(a[i]));
    const int cb = to_lower_ascii(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca - cb;
  }
  return 0;
}

int stricmp(const char *a, const char *b) { return strnicmp(a, b, static_cast<std::size_t>(-1)); }

const char *strstri(const char *text, const char *needle) {
  const std::size_t n = std::strlen(needle);
  for (const char *p = text; *p; ++p)
    if (strnicmp(p, needle, n) == 0) return p;
  return n == 0 ? text : nullptr;
}

int yn_strcmpi(const char *text, const char *prefix) {
  return strnicmp(text, prefix, std::strlen(prefix)) == 0 ? 1 : 0;
}

int to_up(int c) { return to_upper_ascii(c); }

char *strlwr(char *s) {
  for (char *p = s; *p; ++p) *p = static_cast<char>(to_lower_ascii(static_cast<unsigned char>(*p)));
  return s;
}

char *strupr(char *s) {
  for (char *p = s; *p; ++p) *p = static_cast<char>(to_upper_ascii(static_cast<unsigned char>(*p)));
  return s;
}

char *kiv_strrev(char *s) {
  std::reverse(s, s + std::strlen(s));
  return s;
}

char *reverse(char *s) { return kiv_strrev(s); }

int strncmp(const char *a, const char *b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = static_cast<unsigned char>(a[i]);
    const int cb = static_cast<unsigned char>(b[i]);
    if (ca != cb || ca == 0) return ca - cb;
  }
  return 0;
}

char *strncpy(char *dst, const char *src, std::size_t n) {
  std::size_t i = 0;
  for (; i < n && src[i]; ++i) dst[i] = src[i];
  for (; i < n; ++i) dst[i] = '\0';
  return dst;
}

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (to_lower_ascii(static_cast<unsigned char>(text[i])) != to_lower_ascii(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

void copy_bounded(char *dst, std::size_t size, std::string_view text) {
  if (size == 0) return;
  const std::size_t n = std::min(size - 1, text.size());
  if (n > 0) std::memcpy(dst, text.data(), n);  // an empty view may hold no pointer
  dst[n] = '\0';
}

char *new_string(std::string_view text) {
  auto *copy = static_cast<char *>(KIVmalloc(text.size() + 1));
  if (copy) copy_bounded(copy, text.size() + 1, text);
  return copy;
}

}  // namespace kiv
