// Whole-file reading and writing for the command-line tools ("-" is the
// standard stream).
#pragma once

#include <cstdio>
#include <string>

namespace tool_files {

inline bool read_all(const char *name, std::string &out) {
  const bool standard = std::string(name) == "-";
  std::FILE *f = standard ? stdin : std::fopen(name, "rb");
  if (!f) return false;
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, n);
  const bool ok = !std::ferror(f);
  if (!standard) std::fclose(f);
  return ok;
}

inline bool write_all(const char *name, const std::string &bytes) {
  const bool standard = std::string(name) == "-";
  std::FILE *f = standard ? stdout : std::fopen(name, "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (standard ? std::fflush(f) : std::fclose(f)) == 0 && ok;
  return ok;
}

}  // namespace tool_files
