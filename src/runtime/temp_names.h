// Temporary file names ("KV", six digits, ".TMP") beside a given file.
#pragma once

namespace kiv {

struct TempNameState {
  long CurTempNum = 0;  // next number; 0 = not yet seeded (lives for the process)
};
extern TempNameState temp_names;

// Creates a new empty temporary file beside base, recorded for removal at
// shutdown, and puts its name in out (at least 256 bytes). 0, or -1 when no name
// could be created within a bounded number of tries.
int gen_fnam(const char *base, char *out);

}  // namespace kiv
