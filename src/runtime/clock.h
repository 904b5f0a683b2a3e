// The local clock in the eight-byte form the file layer uses.
#pragma once

namespace kiv {

// 8 bytes of local time: weekday (0 Sunday), year - 1980, month 1-12, day, hour,
// minute, second, 0. Returns 0.
int getclk(unsigned char *buf);

}  // namespace kiv
