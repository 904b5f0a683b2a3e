// Byte order of 16- and 32-bit integers: whole values turned around, and values
// read from or written into byte buffers in a chosen order whatever the
// machine's own (order 0 least significant byte first, any other value most
// significant byte first).
#pragma once

#include <cstdint>

namespace kiv {

// order 1 keeps v; order 0 reverses its bytes.
inline std::uint16_t irev(std::uint16_t v, int order) {
  return order == 1 ? v : static_cast<std::uint16_t>((v >> 8) | (v << 8));
}
inline std::uint32_t lrev(std::uint32_t v, int order) { return order == 1 ? v : __builtin_bswap32(v); }

// The two bytes at p as a signed 16-bit value, sign-extended.
inline int PtrInt16(const unsigned char *p, int order) {
  const unsigned v = order == 0 ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1];
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
}

// The two bytes at p as an unsigned value 0..65535.
inline int PtrUInt16(const unsigned char *p, int order) {
  return order == 0 ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1];
}

// The four bytes at p as a 32-bit value.
inline std::int32_t PtrInt32(const unsigned char *p, int order) {
  const std::uint32_t v = order == 0
      ? p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24)
      : (std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
  return static_cast<std::int32_t>(v);
}

// Stores the low 16 bits of value at p.
inline void Int16Ptr(int value, unsigned char *p, int order) {
  const auto v = static_cast<std::uint16_t>(value);
  p[order == 0 ? 0 : 1] = static_cast<unsigned char>(v);
  p[order == 0 ? 1 : 0] = static_cast<unsigned char>(v >> 8);
}

// Stores value at p as four bytes.
inline void Int32Ptr(std::int32_t value, unsigned char *p, int order) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[order == 0 ? i : 3 - i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace kiv
