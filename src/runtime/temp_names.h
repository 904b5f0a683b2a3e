// Temporary file names ("KV", six digits, ".TMP") beside a given file, and the
// small name and clock routines of the file layer.
#pragma once

#include <cstdint>

namespace kiv {

struct TempNameState {
  long CurTempNum = 0;  // next number; 0 = not yet seeded (lives for the process)
};
extern TempNameState temp_names;

// Creates a new empty temporary file beside base, recorded for removal at
// shutdown, and puts its name in out (at least 256 bytes). 0, or -1 when no name
// could be created within a bounded number of tries.
int gen_fnam(const char *base, char *out);
// part 0: base name without extension; 1: directory with its final separator;
// 2: extension without the dot. 0, or -1 when no memory is left.
int GetFileName(char *out, const char *path, int part);
// Appends dir, name and "." ext (each when given) to the text already in out.
int BuildFileName(const char *dir, const char *name, const char *ext, int reserved, char *out);
// 8 bytes of local time: weekday, year - 1980, month, day, hour, minute, second, 0.
int getclk(unsigned char *buf);
// 16- and 32-bit byte order: order 1 keeps v, order 0 reverses its bytes.
std::uint16_t irev(std::uint16_t v, int order);
std::uint32_t lrev(std::uint32_t v, int order);
int GetMaxFilenmLen();
int GetCurrentCodePage();
int openDatFile(const char *name);

}  // namespace kiv
