// Basic types shared by every subsystem: code numbers, handles, byte-or-end values
// and the byte callbacks through which modules stream bytes to each other.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kiv {

using IcfCode = std::int32_t;     // three letters packed into 16 bits (see code_numbers.h)
using FileHandle = int;           // -1 = failure / none
using BufferHandle = int;         // temporary buffer 0..599, -1 = none

inline constexpr int end_of_input = -1;  // a byte-or-end value is 0..255 or -1

// Byte callbacks: a source returns a byte 0..255 or -1; a sink takes one byte.
using ByteSource = int (*)();
using ByteSink = int (*)(int);
using ByteUnput = int (*)();

// Stream control bytes.
inline constexpr int ESC = 0x1B;
inline constexpr int GS = 0x1D;
inline constexpr int RS = 0x1E;
inline constexpr int US = 0x1F;

// An array with every element set to value, usable in constant initialisers.
template <std::size_t N, typename T>
constexpr std::array<T, N> filled_array(T value) {
  std::array<T, N> result{};
  result.fill(value);
  return result;
}

}  // namespace kiv
