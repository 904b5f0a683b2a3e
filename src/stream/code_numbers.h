// Code names of the intermediate stream: three characters packed into a 16-bit
// code number, the ring of names handed out by IcfCodeToStr, skipping and
// lookahead over codes, and the writers that put codes and parameters out.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "common/types.h"

namespace kiv {

// " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789": space 0, letters 1-26, digits 27-36.
inline constexpr std::string_view CodeStr = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// The packing of StrToIcfCode for names known at compile time: code("TAB") == 2100.
consteval IcfCode code(const char (&name)[4]) {
  IcfCode value = (name[0] - 0x40) | ((name[1] - 0x40) << 5);
  const char third = name[2];
  if (third >= 'A' && third <= 'Z') return value | ((third - 0x40) << 10);
  const auto index = CodeStr.find(third);
  return value | (static_cast<IcfCode>(index == std::string_view::npos ? CodeStr.size() : index) << 10);
}

struct CodeNameState {
  std::array<std::array<char, 4>, 16> OldCodes{};  // ring of returned names
  int CurrentPosition = 0;                          // next slot of the ring
  std::array<unsigned char, 32> i_buf{};            // lookahead of tst_icf / find_icf
  int src_wp = 0;                                   // source word processor from DID
};
extern CodeNameState code_names;

void reset_code_numbers();

// Packs three characters (no check on the first two) into a code number.
// Inline: the dispatcher packs the name of every code of the stream.
inline IcfCode StrToIcfCode(const char *name) {
  IcfCode value = (static_cast<unsigned char>(name[0]) - 0x40) |
                  ((static_cast<unsigned char>(name[1]) - 0x40) << 5);
  const unsigned char third = static_cast<unsigned char>(name[2]);
  if (third >= 'A' && third <= 'Z') return value | ((third - 0x40) << 10);
  // A character outside CodeStr takes the index of its terminating NUL, 37.
  const auto index = third == 0 ? std::string_view::npos : CodeStr.find(static_cast<char>(third));
  return value | (static_cast<IcfCode>(index == std::string_view::npos ? CodeStr.size() : index) << 10);
}

// NUL-terminated name of code, valid until sixteen further calls.
const char *IcfCodeToStr(IcfCode code);

// Skips to the RS that ends the current code, counting nested codes; returns 0.
int x_icf();
// Skips to the next RS without counting nesting; returns 0.
int x_icf2();
// 0 when the next five bytes open a code with this number; consumes nothing.
int tst_icf(IcfCode code);
// 0 when the first code opening within the next 30 bytes has this number; consumes nothing.
int find_icf(IcfCode code);
// Consumes a leading DID code and records src_wp; returns 0.
int chk_icf();

// Writers; every byte goes through b_putc; each returns 0.
int beg_icf(IcfCode code);
int icf_only(IcfCode code);
int end_icf();
int out_icf(IcfCode code);
int OutHexNibble(int v);
int HexOut8NoTerm(int v);
int HexOut8(int v);
int hex_out(int v, int terminate);
int HexOut16(int v);
int hex_out16(int v);
int dec_out(int v);
int DecOutNoTerm(int v);
int long_out(std::uint32_t v);

}  // namespace kiv
