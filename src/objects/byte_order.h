// Byte order of 16- and 32-bit values read from or written to files.
#pragma once

#include <cstdint>

namespace kiv {

// order 1 keeps v; order 0 reverses its bytes.
inline std::uint16_t irev(std::uint16_t v, int order) {
  return order == 1 ? v : static_cast<std::uint16_t>((v >> 8) | (v << 8));
}
inline std::uint32_t lrev(std::uint32_t v, int order) { return order == 1 ? v : __builtin_bswap32(v); }

}  // namespace kiv
