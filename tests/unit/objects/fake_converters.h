// Fake graphic converter programs for tests: tiny shell scripts in a test's
// directory, found through the program folder option.
#pragma once

#include <sys/stat.h>

#include <string>

#include "support/temp_dir.h"

namespace test_support {

// Writes an executable script dir/name running body (with $1 the foreign file,
// $2 "-t=" and the intermediate file, $3 "-v" and the variant).
inline void install_converter(const TempDir &dir, const std::string &name, const std::string &body) {
  const std::string path = dir.file(name);
  write_file(path, "#!/bin/sh\n" + body + "\n");
  chmod(path.c_str(), 0755);
}

// Scripts that copy their input to their output: the intermediate form is
// then the foreign bytes themselves.
inline const std::string copy_in = "cp \"$1\" \"${2#-t=}\"";
inline const std::string copy_out = "cp \"${2#-t=}\" \"$1\"";

// A 1 x 1 bitmap file, which the real converter programs take.
inline std::string bitmap_file() {
  std::string b = "BM" + std::string(52, '\0');
  b[2] = 58, b[10] = 54, b[14] = 40, b[18] = 1, b[22] = 1, b[26] = 1, b[28] = 24;
  return b + std::string("\x10\x20\x30\x00", 4);
}

// The same bitmap without its file header, as a presentation holds it.
inline std::string one_pixel_dib() { return bitmap_file().substr(14); }

}  // namespace test_support
