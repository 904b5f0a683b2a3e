// The library's small string and number routines (ASCII case only), and the
// helpers that copy texts into fixed buffers or into library memory.
#pragma once

#include <cstddef>
#include <string_view>

namespace kiv {

// Signed conversion in radix 2..36 (lower-case letters); returns out.
char *itoa(int value, char *out, int radix);
char *ltoa(long value, char *out, int radix);
// Comparisons without regard to ASCII case: <0, 0, >0.
int stricmp(const char *a, const char *b);
int strnicmp(const char *a, const char *b, std::size_t n);
// First occurrence of needle in text, case-blind; null when absent.
const char *strstri(const char *text, const char *needle);
// 1 when prefix is a case-blind prefix of text, else 0.
int yn_strcmpi(const char *text, const char *prefix);
int to_up(int c);
char *strlwr(char *s);
char *strupr(char *s);
// Reverse a string in place; both return s.
char *kiv_strrev(char *s);
char *reverse(char *s);
int strncmp(const char *a, const char *b, std::size_t n);
// Copies at most n bytes and pads the rest of the n with NUL.
char *strncpy(char *dst, const char *src, std::size_t n);

// True when text begins with prefix, compared without regard to ASCII case.
bool starts_with_nocase(std::string_view text, std::string_view prefix);
// Copies text into a buffer of size bytes, cut to fit, always NUL-terminated.
void copy_bounded(char *dst, std::size_t size, std::string_view text);
// A NUL-terminated copy of text in library memory, or null when none is left.
char *new_string(std::string_view text);

}  // namespace kiv
