// Code pages of RTF text: the document's \ansicpg, a font's \fcharset or \cpg.
// Single-byte pages decode through a 256-entry table built once per page with
// the C library's iconv (the Windows Latin page's table is built in);
// multi-byte pages (the East Asian ones, UTF-8) collect a character's bytes
// and convert them when the character is complete.
#pragma once

#include <array>
#include <cstdint>

namespace kiv {

inline constexpr int code_page_symbol = 42;   // the Symbol font's own set
inline constexpr int code_page_default = 1252;
inline constexpr char32_t no_character = 0;   // a byte that is no character (or only begins one)

// Code page of an \fcharset value; 0 when the charset names none (the document's page applies).
int code_page_of_charset(int charset);

struct CodePageDecoder {
  int number = 0;
  bool multibyte = false;
  std::array<char32_t, 256> table{};    // single bytes; no_character for lead bytes and invalid ones
  std::array<bool, 256> lead{};         // begins a character of more than one byte
  unsigned char pending[4] = {};
  int pending_len = 0;
  void *converter = nullptr;            // iconv descriptor of a multi-byte page
};

// Decoder for a code page (cached; an unknown page falls back to 1252). Never null.
CodePageDecoder *code_page_decoder(int number);
// Feeds one byte; returns the character it completes, or no_character.
char32_t decode_byte(CodePageDecoder &decoder, unsigned char byte);
// Symbol fonts reach Unicode text in the private use area at U+F020 to U+F0FF;
// the character the font shows there, or c itself outside that range.
char32_t symbol_private_use(char32_t c);
// Forgets the bytes of an unfinished character in every decoder (a new document).
void restart_code_pages();
// Releases every cached decoder.
void release_code_pages();

}  // namespace kiv
