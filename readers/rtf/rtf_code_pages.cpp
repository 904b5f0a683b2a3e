// Code pages through iconv, cached per page.
#include "rtf_code_pages.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kiv {
namespace {

struct CharsetPage {
  int charset;
  int page;
};
// \fcharset values and the Windows code pages they stand for.
constexpr std::array<CharsetPage, 20> charset_pages = {{
    {0, 1252},   {2, code_page_symbol}, {77, 10000}, {128, 932}, {129, 949},
    {130, 1361}, {134, 936},   {136, 950},  {161, 1253}, {162, 1254},
    {163, 1258}, {177, 1255},  {178, 1256}, {186, 1257}, {204, 1251},
    {222, 874},  {238, 1250},  {254, 437},  {255, 850},  {79, 10003},
}};

// The Symbol font: Greek letters on the Latin ones, and a few signs.
constexpr char32_t symbol_letters[26] = {
    U'α', U'β', U'χ', U'δ', U'ε', U'φ', U'γ', U'η', U'ι', U'ϕ', U'κ', U'λ', U'μ',
    U'ν', U'ο', U'π', U'θ', U'ρ', U'σ', U'τ', U'υ', U'ϖ', U'ω', U'ξ', U'ψ', U'ζ'};

struct SymbolSign {
  unsigned char byte;
  char32_t character;
};
constexpr std::array<SymbolSign, 16> symbol_signs = {{
    {0x22, U'∀'}, {0x24, U'∃'}, {0x27, U'∋'}, {0x2D, U'−'}, {0x40, U'≅'}, {0xA5, U'∞'},
    {0xAE, U'→'}, {0xB0, U'°'}, {0xB1, U'±'}, {0xB4, U'×'}, {0xB7, U'•'}, {0xB8, U'÷'},
    {0xB9, U'≠'}, {0xBA, U'≡'}, {0xBB, U'≈'}, {0xF2, U'∫'},
}};

// The Windows Latin page, the default of nearly every document, is built in:
// its table needs no converter to be loaded. It is Latin-1 but for the
// characters it puts at 0x80 to 0x9F (five of those bytes are no character).
constexpr std::array<char32_t, 32> windows_latin_high = {
    U'\u20AC', no_character, U'\u201A', U'\u0192', U'\u201E', U'\u2026', U'\u2020', U'\u2021',
    U'\u02C6', U'\u2030', U'\u0160', U'\u2039', U'\u0152', no_character, U'\u017D', no_character,
    no_character, U'\u2018', U'\u2019', U'\u201C', U'\u201D', U'\u2022', U'\u2013', U'\u2014',
    U'\u02DC', U'\u2122', U'\u0161', U'\u203A', U'\u0153', no_character, U'\u017E', U'\u0178'};

constexpr std::size_t cache_size = 8;
struct CodePageCache {
  std::array<CodePageDecoder, cache_size> decoders{};
  std::size_t next = 0;
  CodePageDecoder *last = nullptr;  // the one asked for last: text asks for the same page again and again
};
CodePageCache cache;

void iconv_name(int number, char *name, std::size_t size) {
  if (number == 10000) std::snprintf(name, size, "MACINTOSH");
  else if (number == 65001) std::snprintf(name, size, "UTF-8");
  else if (number == 936) std::snprintf(name, size, "GBK");
  else if (number == 950) std::snprintf(name, size, "BIG5");
  else if (number == 1361) std::snprintf(name, size, "JOHAB");
  else std::snprintf(name, size, "CP%d", number);
}

// Converts len bytes; the character, no_character when incomplete (sets *incomplete)
// or invalid.
char32_t convert(iconv_t converter, const unsigned char *bytes, std::size_t len, bool *incomplete) {
  char in_bytes[4];
  std::memcpy(in_bytes, bytes, len);
  char out_bytes[16];
  char *in_ptr = in_bytes;
  char *out_ptr = out_bytes;
  std::size_t in_left = len;
  std::size_t out_left = sizeof out_bytes;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  const std::size_t result = iconv(converter, &in_ptr, &in_left, &out_ptr, &out_left);
  *incomplete = result == static_cast<std::size_t>(-1) && errno == EINVAL;
  if (out_ptr - out_bytes < 4) return no_character;
  const auto *u = reinterpret_cast<const unsigned char *>(out_bytes);
  return static_cast<char32_t>(u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<unsigned>(u[3]) << 24));
}

void build_symbol(CodePageDecoder &decoder) {
  for (int b = 0; b < 256; ++b) decoder.table[static_cast<std::size_t>(b)] = static_cast<char32_t>(b);
  for (int i = 0; i < 26; ++i) {
    decoder.table[static_cast<std::size_t>('a' + i)] = symbol_letters[i];
    decoder.table[static_cast<std::size_t>('A' + i)] = symbol_letters[i] - 32;  // capitals sit 32 below
  }
  decoder.table['V'] = U'ς';
  decoder.table['J'] = U'ϑ';
  for (const SymbolSign &sign : symbol_signs) decoder.table[sign.byte] = sign.character;
}

void build_windows_latin(CodePageDecoder &decoder) {
  for (int b = 0; b < 256; ++b) decoder.table[static_cast<std::size_t>(b)] = static_cast<char32_t>(b);
  std::copy(windows_latin_high.begin(), windows_latin_high.end(), decoder.table.begin() + 0x80);
}

bool build(CodePageDecoder &decoder, int number) {
  decoder = {};
  decoder.number = number;
  if (number == code_page_symbol) {
    build_symbol(decoder);
    return true;
  }
  if (number == code_page_default) {
    build_windows_latin(decoder);
    return true;
  }
  char name[24];
  iconv_name(number, name, sizeof name);
  const iconv_t converter = iconv_open("UTF-32LE", name);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    bool incomplete = false;
    decoder.table[byte] = convert(converter, &byte, 1, &incomplete);
    decoder.lead[byte] = incomplete;
    decoder.multibyte = decoder.multibyte || incomplete;
  }
  if (decoder.multibyte) decoder.converter = converter;
  else iconv_close(converter);
  return true;
}

}  // namespace

int code_page_of_charset(int charset) {
  for (const CharsetPage &entry : charset_pages)
    if (entry.charset == charset) return entry.page;
  return 0;
}

CodePageDecoder *code_page_decoder(int number) {
  if (cache.last != nullptr && cache.last->number == number && number != 0) return cache.last;
  for (CodePageDecoder &decoder : cache.decoders)
    if (decoder.number == number && number != 0) return cache.last = &decoder;
  CodePageDecoder &slot = cache.decoders[cache.next];
  cache.next = (cache.next + 1) % cache_size;
  if (slot.converter != nullptr) iconv_close(static_cast<iconv_t>(slot.converter));
  if (!build(slot, number)) {
    build(slot, code_page_default);
    slot.number = number;  // remembered under the asked number: the fallback is not looked up again
  }
  return cache.last = &slot;
}

char32_t decode_byte(CodePageDecoder &decoder, unsigned char byte) {
  if (!decoder.multibyte || (decoder.pending_len == 0 && !decoder.lead[byte])) return decoder.table[byte];
  decoder.pending[decoder.pending_len++] = byte;
  bool incomplete = false;
  const char32_t c = convert(static_cast<iconv_t>(decoder.converter), decoder.pending,
                             static_cast<std::size_t>(decoder.pending_len), &incomplete);
  if (incomplete && decoder.pending_len < 4) return no_character;
  decoder.pending_len = 0;
  return c;
}

char32_t symbol_private_use(char32_t c) {
  if (c < 0xF020 || c > 0xF0FF) return c;
  const auto byte = static_cast<unsigned char>(c & 0xFF);
  for (const SymbolSign &sign : symbol_signs)
    if (sign.byte == byte) return sign.character;
  if (byte >= 0x80) return code_page_decoder(code_page_default)->table[byte];  // bullets and dashes of the Windows set
  if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')) return code_page_decoder(code_page_symbol)->table[byte];
  return byte;
}

void restart_code_pages() {
  for (CodePageDecoder &decoder : cache.decoders) decoder.pending_len = 0;
}

void release_code_pages() {
  for (CodePageDecoder &decoder : cache.decoders)
    if (decoder.converter != nullptr) iconv_close(static_cast<iconv_t>(decoder.converter));
  cache = {};
}

}  // namespace kiv
