// Splitting a path into its parts and building a name from parts, both within
// the file name length the library works with.
#pragma once

namespace kiv {

// The longest file name the library handles, NUL included.
inline constexpr int max_filename = 512;

inline int GetMaxFilenmLen() { return max_filename; }
// part 0: base name without extension; 1: directory with its final separator;
// 2: extension without the dot; any other part "". out must hold the part.
// 0, or -1 when no memory is left.
int GetFileName(char *out, const char *path, int part);
// Appends dir, name and "." ext (each when given, ext when not empty) to the
// text already in out, which holds max_filename bytes. A name that would not fit
// is refused whole: -1 and out unchanged; otherwise 0.
int BuildFileName(const char *dir, const char *name, const char *ext, int reserved, char *out);

}  // namespace kiv
