// Parameter readers of the intermediate stream. Each reads through b_getc and
// returns a value, or -1 when there is none; none of them reports an error.
#pragma once

#include <cstdint>

namespace kiv {

// Decimal parameter: digits accumulate, other bytes are ignored; US ends it
// (0 when empty), RS is left in the source.
std::int32_t get_dec();
// count decimal parameters into values, as count calls of get_dec would read them.
void get_decs(std::int32_t *values, int count);
// Unsigned 32-bit decimal; at RS or end a zero value reads as -1.
std::int32_t get_long();
// Hexadecimal parameter, up to 32 bits.
std::int32_t get_hex();
// The next two characters as one hexadecimal byte; -1 when none came.
std::int32_t GetHex8();
// The parameter's last byte; a nested code counts as a period.
std::int32_t b_get1b();

}  // namespace kiv
