// Code names, skipping and lookahead, and the code writers.
#include "stream/code_numbers.h"

#include <cstring>

#include "stream/buffered_io.h"
#include "stream/code_params.h"

namespace kiv {

CodeNameState code_names;

void reset_code_numbers() { code_names = {}; }

namespace {

// A character of a code's name by its index: index 37 and above are past
// CodeStr, at its terminating NUL in the original layout, so such a
// character reads as NUL.
constexpr unsigned char name_character(int index) {
  return index < static_cast<int>(CodeStr.size()) ? static_cast<unsigned char>(CodeStr[index]) : '\0';
}

// Writes the code's start (ESC, GS), its name and, when asked, its end (RS).
void put_code_bytes(IcfCode code, bool end) {
  b_put_filled(end ? 6 : 5, [code, end](unsigned char *p) {
    p[0] = ESC;
    p[1] = GS;
    p[2] = name_character(code & 31);
    p[3] = name_character((code >> 5) & 31);
    p[4] = name_character((code >> 10) & 63);
    if (end) p[5] = RS;
  });
}

}  // namespace

const char *IcfCodeToStr(IcfCode code) {
  auto &slot = code_names.OldCodes[code_names.CurrentPosition & 15];
  code_names.CurrentPosition = (code_names.CurrentPosition + 1) & 15;
  slot[0] = static_cast<char>(name_character(code & 31));
  slot[1] = static_cast<char>(name_character((code >> 5) & 31));
  slot[2] = static_cast<char>(name_character((code >> 10) & 63));
  slot[3] = '\0';
  return slot.data();
}

namespace {

// x_icf beyond its first byte.
[[gnu::noinline]] int skip_code_rest() {
  int depth = 1;
  for (;;) {
    const unsigned char *const start = b_window_begin();
    const unsigned char *const end = b_window_end();
    for (const unsigned char *p = start; p < end; ++p) {
      if (*p == ESC) {
        ++depth;
      } else if (*p == RS && --depth <= 0) {
        b_take(p - start + 1);
        return 0;
      }
    }
    b_take(end - start);
    const int c = b_getc();
    if (c == end_of_input) return 0;
    if (c == ESC) ++depth;
    else if (c == RS && --depth <= 0) return 0;
  }
}

}  // namespace

// The skippers scan the bytes at hand in the source window first (see the
// parameter readers); the rest comes through b_getc.
int x_icf() {
  // Handlers that read every parameter leave the RS next: taken at once.
  if (const unsigned char *at = b_window_begin(); at < b_window_end() && *at == RS) {
    b_take(1);
    return 0;
  }
  return skip_code_rest();
}

int x_icf2() {
  for (;;) {
    const unsigned char *const start = b_window_begin();
    const unsigned char *const end = b_window_end();
    if (const void *rs = std::memchr(start, RS, static_cast<std::size_t>(end - start))) {
      b_take(static_cast<const unsigned char *>(rs) - start + 1);
      return 0;
    }
    b_take(end - start);
    const int c = b_getc();
    if (c == end_of_input || c == RS) return 0;
  }
}

namespace {

// Pushes back the first n bytes of i_buf, last first.
void push_back_lookahead(int n) {
  while (n > 0) b_unget(code_names.i_buf[--n]);
}

bool lookahead_is(int at, IcfCode code) {
  const auto &b = code_names.i_buf;
  const char name[3] = {static_cast<char>(b[at + 2]), static_cast<char>(b[at + 3]), static_cast<char>(b[at + 4])};
  return b[at + 1] == GS && StrToIcfCode(name) == code;
}

}  // namespace

int tst_icf(IcfCode code) {
  int n = 0;
  while (n < 5) {
    const int c = b_getc();
    if (c == end_of_input) break;
    code_names.i_buf[n++] = static_cast<unsigned char>(c);
  }
  push_back_lookahead(n);
  return n == 5 && lookahead_is(0, code) ? 0 : -1;
}

int find_icf(IcfCode code) {
  int n = 0;
  int counted = 0;
  int esc_at = -1;
  while (n < 30 && counted < 5) {
    const int c = b_getc();
    if (c == end_of_input) break;
    code_names.i_buf[n] = static_cast<unsigned char>(c);
    if (esc_at < 0 && c == ESC) esc_at = n;
    if (esc_at >= 0) ++counted;
    ++n;
  }
  push_back_lookahead(n);
  return counted == 5 && lookahead_is(esc_at, code) ? 0 : -1;
}

int chk_icf() {
  code_names.src_wp = 0;
  const int first = b_getc();
  if (first != ESC) {
    if (first != end_of_input) b_unget(first);
    return 0;
  }
  int bytes[5] = {first, -1, -1, -1, -1};
  int n = 1;
  while (n < 5) {
    const int c = b_getc();
    if (c == end_of_input) break;
    bytes[n++] = c;
  }
  if (n == 5) {
    const char name[3] = {static_cast<char>(bytes[2]), static_cast<char>(bytes[3]), static_cast<char>(bytes[4])};
    if (StrToIcfCode(name) == code("DID")) {
      const int wp = get_dec();
      if (wp > 0) code_names.src_wp = wp;
      x_icf();
      return 0;
    }
  }
  while (n > 0) b_unget(bytes[--n]);
  return 0;
}

int beg_icf(IcfCode code) {
  put_code_bytes(code, false);
  return 0;
}

int icf_only(IcfCode code) {
  const unsigned char name[3] = {name_character(code & 31), name_character((code >> 5) & 31),
                                 name_character((code >> 10) & 63)};
  return b_putn(name, 3);
}

int end_icf() { return b_putc(RS); }

int out_icf(IcfCode code) {
  put_code_bytes(code, true);
  return 0;
}

int OutHexNibble(int v) {
  constexpr std::string_view digits = "0123456789ABCDEF";
  return b_putc(static_cast<unsigned char>(digits[v & 15]));
}

int HexOut8NoTerm(int v) {
  OutHexNibble(v >> 4);
  return OutHexNibble(v);
}

int HexOut8(int v) {
  HexOut8NoTerm(v);
  return b_putc(US);
}

int hex_out(int v, int terminate) {
  HexOut8NoTerm(v);
  if (terminate) b_putc(US);
  return 0;
}

int HexOut16(int v) {
  HexOut8NoTerm(v >> 8);
  HexOut8NoTerm(v);
  return b_putc(US);
}

int hex_out16(int v) { return HexOut16(v); }

namespace {

// The number of decimal digits of n.
constexpr int decimal_digits(std::uint32_t n) {
  int digits = 1;
  for (std::uint32_t bound = 10; digits < 10 && n >= bound; bound *= 10) ++digits;
  return digits;
}

// The decimal digits of n, followed by the parameter's end when asked.
int unsigned_out(std::uint32_t n, bool terminate) {
  const int digits = decimal_digits(n);
  return b_put_filled(digits + (terminate ? 1 : 0), [n, digits, terminate](unsigned char *p) {
    std::uint32_t rest = n;
    for (int k = digits - 1; k >= 0; --k, rest /= 10) p[k] = static_cast<unsigned char>('0' + rest % 10);
    if (terminate) p[digits] = US;
  });
}

}  // namespace

int DecOutNoTerm(int v) {
  unsigned_out(static_cast<std::uint32_t>(v) & 0xFFFF, false);
  return 0;
}

int dec_out(int v) { return unsigned_out(static_cast<std::uint32_t>(v) & 0xFFFF, true); }

int long_out(std::uint32_t v) { return unsigned_out(v, true); }

}  // namespace kiv
