// Recognition driver: reads the first 4096 bytes of a file (or takes a block), runs
// the compound-file recogniser and then the block recognisers in their fixed order,
// and answers a format number and a variant. Owns the working copy `bufr`.
#pragma once

#include <array>
#include <cstdint>

#include <icf2html.h>  // the exported entry points

namespace kiv {

// Result codes besides the format numbers.
inline constexpr int autorec_not_recognised = 0;
inline constexpr int autorec_cannot_open = -1;
inline constexpr int autorec_nothing_read = -2;
inline constexpr int autorec_no_memory = -3;

// Bytes read from a file; the working copy holds at least `working_minimum` bytes,
// cleared beyond the data, because some tests read fixed positions below 20
// whatever the length.
inline constexpr int read_size = 4096;
inline constexpr int working_minimum = 4000;
inline constexpr int name_size = 300;

// Module state; valid only during one recognition.
struct AutoRecState {
  std::array<char, name_size> name{};  // copy of the file name, always terminated
  unsigned char *bufr = nullptr;       // working copy the recognisers read
  std::int32_t len = 0;                // valid bytes in bufr
  std::int32_t ver = 0;                // variant of the recogniser that matched
  std::int32_t MinorVal = 0;           // 1 while the expected format's test runs
  int CurFH = -1;                      // descriptor AutoRead and AutoSeek use
  int f_num = -1;                      // descriptor opened by the driver
};
extern AutoRecState autorec_state;

// Runs the recogniser of `expected` first (with MinorVal 1), then the full ordered
// sequence over bufr and len. Returns the first non-zero answer or 0; sets ver.
int AutoRecFindFormat(int expected);

// Read from and seek (from the start) in CurFH, for the compound-file walker.
// AutoRead returns the byte count (0 on failure); AutoSeek 0, or -1 on failure.
int AutoRead(void *buffer, int count);
int AutoSeek(long offset);

}  // namespace kiv
