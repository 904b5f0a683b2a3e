// The RTF tokenizer over a file read in blocks (pread, so that a look-ahead copy
// can read ahead without disturbing the main reading) or over memory.
#include "rtf_tokenizer.h"

#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/ascii.h"
#include "rtf_control_words.h"

namespace kiv {
namespace {

constexpr std::int64_t param_max = 2147483647;

// Reads the next block of a file input; false at the end or on an error. A
// look-ahead copy gets its block only when it reads past the window it began
// in, and reads nothing from a file that cannot be read at an offset: what it
// read would be lost to the main reading.
bool refill(RtfInput &in) {
  if (in.fd == -1 || in.failed) return false;
  if (in.block == nullptr) {
    in.block = static_cast<unsigned char *>(std::malloc(rtf_block_size));
    if (in.block == nullptr) return false;
  }
  in.window_offset += static_cast<long long>(in.len);
  in.len = 0;
  in.pos = 0;
  ssize_t n;
  do {
    n = pread(in.fd, in.block, rtf_block_size, in.window_offset);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && errno == ESPIPE) {
    if (in.look_ahead) return false;
    do {
      n = read(in.fd, in.block, rtf_block_size);
    } while (n < 0 && errno == EINTR);
  }
  if (n < 0) in.failed = true;
  if (n <= 0) return false;
  in.data = in.block;
  in.len = static_cast<std::size_t>(n);
  return true;
}

inline int peek(RtfInput &in) {
  if (in.pos < in.len) return in.data[in.pos];
  return refill(in) ? in.data[in.pos] : -1;
}

inline int get(RtfInput &in) {
  const int c = peek(in);
  if (c != -1) ++in.pos;
  return c;
}

// A text byte: anything but the three RTF specials and the line ends that RTF ignores.
constexpr std::array<bool, 256> text_bytes = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[static_cast<std::size_t>(c)] = c != '\\' && c != '{' && c != '}' && c != '\r' && c != '\n';
  return table;
}();

// The letters of a control word.
constexpr std::array<bool, 256> letters = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[static_cast<std::size_t>(c)] = is_lower(c) || is_upper(c);
  return table;
}();

// The bytes of a 64-bit word that equal b: the high bit of each such byte is
// set, and no bit below the first of them. A byte above the first may be
// marked wrongly (a borrow runs on), which the first one found never is.
constexpr std::uint64_t bytes_equal(std::uint64_t word, unsigned char b) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  const std::uint64_t x = word ^ (ones * b);
  return (x - ones) & ~x & (ones << 7);
}

// The bytes of a 64-bit word below b (at most 128), marked as bytes_equal marks them.
constexpr std::uint64_t bytes_below(std::uint64_t word, unsigned char b) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  return (word - ones * b) & ~word & (ones << 7);
}

#if defined(__SSE2__)
// Sixteen bytes at p, and a mask with bit k set when byte k equals b.
inline __m128i load16(const unsigned char *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
inline __m128i equal16(__m128i bytes, char b) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(b)); }
#endif

// The end of the text run that starts at p: the first RTF special or line end
// before end. Sixteen bytes are looked at a time where the processor allows
// it, then eight at a time while eight remain.
const unsigned char *text_run_end(const unsigned char *p, const unsigned char *end) {
#if defined(__SSE2__)
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = load16(p);
    const __m128i found = _mm_or_si128(_mm_or_si128(equal16(bytes, '\\'), equal16(bytes, '{')),
                                       _mm_or_si128(_mm_or_si128(equal16(bytes, '}'), equal16(bytes, '\r')),
                                                    equal16(bytes, '\n')));
    if (const int mask = _mm_movemask_epi8(found); mask != 0) return p + std::countr_zero(static_cast<unsigned>(mask));
  }
#endif
  // The first byte in memory is the lowest of the word only on a little-endian machine.
  while (std::endian::native == std::endian::little && end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const std::uint64_t found = bytes_equal(word, '\\') | bytes_equal(word, '{') | bytes_equal(word, '}') |
                                bytes_equal(word, '\r') | bytes_equal(word, '\n');
    if (found != 0) return p + std::countr_zero(found) / 8;
    p += 8;
  }
  while (p < end && text_bytes[*p]) ++p;
  return p;
}

#if defined(__SSE2__)
// The number of letters at the start of the sixteen bytes at p.
inline std::size_t leading_letters16(const unsigned char *p) {
  // Letters folded to lower case and counted from 'a' are 0 to 25; nothing else is.
  const __m128i from_a = _mm_sub_epi8(_mm_or_si128(load16(p), _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
  const __m128i letter = _mm_cmpeq_epi8(_mm_min_epu8(from_a, _mm_set1_epi8(25)), from_a);
  return static_cast<std::size_t>(std::countr_zero(~static_cast<unsigned>(_mm_movemask_epi8(letter))));
}
#endif

// The number of letters at p, counted up to one more than a word keeps; p
// has that many bytes at least.
std::size_t leading_letters(const unsigned char *p) {
#if defined(__SSE2__)
  static_assert(rtf_word_max == 32, "two pieces of sixteen bytes hold the longest word kept");
  std::size_t n = leading_letters16(p);
  if (n == 16) n += leading_letters16(p + 16);
  if (n == rtf_word_max && letters[p[n]]) ++n;
  return n;
#else
  std::size_t n = 0;
  while (n <= rtf_word_max && letters[p[n]]) ++n;
  return n;
#endif
}

// A control word that ends well inside the window (the common case), read
// straight from it: the same result as read_control_word. False, with
// nothing read, when the word might reach the window's end.
bool read_control_word_in_window(RtfInput &in, RtfToken &token) {
  constexpr std::size_t longest = rtf_word_max + 16;  // letters, sign, digits and the space
  if (in.len - in.pos < longest) return false;
  const unsigned char *const start = in.data + in.pos;
  const std::size_t n = leading_letters(start);
  if (n > rtf_word_max) return false;  // a long word: the careful path cuts it
  std::memcpy(token.word, start, rtf_word_max);  // the letters, and bytes after them that the end cuts off
  token.word[n] = '\0';
  token.word_len = n;
  // A short word is looked up packed as it stands in the window: its first
  // eight bytes, zero past the word.
  if (std::endian::native == std::endian::little && n <= rtf_packed_word_max) {
    std::uint64_t head;
    std::memcpy(&head, start, sizeof head);
    if (n < sizeof head) head &= (std::uint64_t{1} << (8 * n)) - 1;
    token.entry = find_packed_rtf_word(head, n);
  } else {
    token.entry = find_rtf_word(token.word, n);
  }
  const unsigned char *p = start + n;
  token.kind = RtfTokenKind::control_word;
  token.has_param = false;
  token.param = 0;
  const bool negative = *p == '-';
  const unsigned char *digits = p + (negative ? 1 : 0);
  if (is_digit(*digits)) {
    std::int64_t value = 0;
    const unsigned char *q = digits;
    while (is_digit(*q)) {
      if (q - digits == 11) return false;  // a huge parameter: the careful path clamps it
      value = value * 10 + (*q++ - '0');
    }
    if (value > param_max) value = param_max;
    token.has_param = true;
    token.param = static_cast<std::int32_t>(negative ? -value : value);
    p = q;
  } else if (negative) {
    p = digits;
  }
  if (*p == ' ') ++p;
  in.pos += static_cast<std::size_t>(p - start);
  return true;
}

// Rare (a word at the window's end, a long word or parameter): kept out of
// the tokenizer's main function.
[[gnu::noinline]] void read_control_word(RtfInput &in, RtfToken &token) {
  token.kind = RtfTokenKind::control_word;
  std::size_t n = 0;
  for (int c = peek(in); is_lower(c) || is_upper(c); c = peek(in)) {
    if (n < rtf_word_max) token.word[n++] = static_cast<char>(c);
    ++in.pos;
  }
  token.word[n] = '\0';
  token.word_len = n;
  token.has_param = false;
  token.param = 0;
  int c = peek(in);
  bool negative = false;
  if (c == '-') {
    ++in.pos;
    negative = true;
    c = peek(in);
  }
  if (is_digit(c)) {
    std::int64_t value = 0;
    for (; is_digit(c); c = peek(in)) {
      if (value <= param_max) value = value * 10 + (c - '0');
      ++in.pos;
    }
    if (value > param_max) value = param_max;
    token.has_param = true;
    token.param = static_cast<std::int32_t>(negative ? -value : value);
  }
  if (c == ' ') ++in.pos;  // the delimiting space belongs to the word
  token.entry = find_rtf_word(token.word, n);
}

}  // namespace

bool rtf_input_open_fd(RtfInput &in, int fd) {
  in = {};
  in.block = static_cast<unsigned char *>(std::malloc(rtf_block_size));
  if (in.block == nullptr) return false;
  in.fd = fd;
  in.data = in.block;
  const off_t start = lseek(fd, 0, SEEK_CUR);
  in.window_offset = start > 0 ? start : 0;
  in.seekable = start != -1;
  return true;
}

void rtf_input_open_memory(RtfInput &in, const unsigned char *data, std::size_t len) {
  in = {};
  in.data = data;
  in.len = len;
}

void rtf_input_clone(RtfInput &copy, const RtfInput &in) {
  copy = {};
  copy.fd = in.fd;
  copy.look_ahead = true;
  copy.seekable = in.seekable;
  copy.data = in.data + in.pos;
  copy.len = in.len - in.pos;
  copy.window_offset = in.window_offset + static_cast<long long>(in.pos);
}

void rtf_input_close(RtfInput &in) {
  std::free(in.block);
  in = {};
}

void rtf_input_move_to(RtfInput &in, long long offset) {
  if (offset >= in.window_offset && offset - in.window_offset <= static_cast<long long>(in.len)) {
    in.pos = static_cast<std::size_t>(offset - in.window_offset);
    return;
  }
  // Past the window of a file: the next refill reads at the offset.
  in.window_offset = offset;
  in.len = in.pos = 0;
}

int rtf_get_byte(RtfInput &in) { return get(in); }

#if defined(__SSE2__)
// The bytes among the sixteen at p that are not printable ASCII, one bit each.
inline unsigned unprintable16(const unsigned char *p) {
  // Compared as signed bytes, the bytes from 0x80 up fall below the space too.
  const __m128i bytes = load16(p);
  const __m128i found = _mm_or_si128(_mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)), equal16(bytes, 0x7F));
  return static_cast<unsigned>(_mm_movemask_epi8(found));
}
#endif

const unsigned char *rtf_printable_end(const unsigned char *p, const unsigned char *end) {
#if defined(__SSE2__)
  if (end - p >= 16) {
    for (; end - p >= 16; p += 16)
      if (const unsigned mask = unprintable16(p); mask != 0) return p + std::countr_zero(mask);
    // The last bytes, fewer than sixteen, with the bytes before them that
    // are known to be printable: the first found is one of the last.
    if (p == end) return end;
    const unsigned mask = unprintable16(end - 16);
    return mask != 0 ? end - 16 + std::countr_zero(mask) : end;
  }
#endif
  while (std::endian::native == std::endian::little && end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    constexpr std::uint64_t high_bits = 0x8080808080808080ull;
    const std::uint64_t found = (word & high_bits) | bytes_below(word, 0x20) | bytes_equal(word, 0x7F);
    if (found != 0) return p + std::countr_zero(found) / 8;
    p += 8;
  }
  while (p < end && *p >= 0x20 && *p < 0x7F) ++p;
  return p;
}

long long rtf_skip_bytes(RtfInput &in, long long n) {
  long long skipped = 0;
  while (skipped < n) {
    if (in.pos >= in.len && !refill(in)) break;
    const auto step = static_cast<long long>(in.len - in.pos) < n - skipped ? static_cast<long long>(in.len - in.pos) : n - skipped;
    in.pos += static_cast<std::size_t>(step);
    skipped += step;
  }
  return skipped;
}

void rtf_next_token(RtfInput &in, RtfToken &token) {
  for (;;) {
    const int c = peek(in);
    if (c == -1) {
      token.kind = RtfTokenKind::end;
      return;
    }
    if (c == '\r' || c == '\n') {
      ++in.pos;
      continue;
    }
    if (c == '{' || c == '}') {
      ++in.pos;
      token.kind = c == '{' ? RtfTokenKind::group_open : RtfTokenKind::group_close;
      return;
    }
    if (c != '\\') {
      const unsigned char *const start = in.data + in.pos;
      const unsigned char *const end = in.data + in.len;
      const unsigned char *const p = text_run_end(start, end);
      token.kind = RtfTokenKind::text;
      token.text = start;
      token.text_len = static_cast<std::size_t>(p - start);
      in.pos += token.text_len;
      return;
    }
    ++in.pos;
    const int next = peek(in);
    if (is_lower(next) || is_upper(next)) {
      if (!read_control_word_in_window(in, token)) read_control_word(in, token);
      return;
    }
    if (next == -1) {
      token.kind = RtfTokenKind::end;
      return;
    }
    ++in.pos;
    if (next == '\'') {
      token.kind = RtfTokenKind::hex_byte;
      const int high = hex_value(peek(in));
      if (high < 0) {
        token.symbol = -1;
        return;
      }
      ++in.pos;
      const int low = hex_value(peek(in));
      if (low < 0) {
        token.symbol = -1;
        return;
      }
      ++in.pos;
      token.symbol = high * 16 + low;
      return;
    }
    // A backslash before a line end is a paragraph mark, as \par.
    if (next == '\r' || next == '\n') {
      token.kind = RtfTokenKind::control_word;
      std::strcpy(token.word, "par");
      token.word_len = 3;
      token.entry = find_rtf_word(token.word, token.word_len);
      token.has_param = false;
      token.param = 0;
      return;
    }
    token.kind = RtfTokenKind::control_symbol;
    token.symbol = next;
    return;
  }
}

}  // namespace kiv
