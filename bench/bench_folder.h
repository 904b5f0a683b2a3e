// The folder of a benchmark's generated files, which are large: made once, on
// tmpfs when there is one, and removed when the benchmark ends. Its name lives
// in a plain array, which no destructor clears before the exit handler runs.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

inline char bench_dir_name[64];

inline std::string bench_dir() {
  static const std::string dir = [] {
    const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::snprintf(bench_dir_name, sizeof bench_dir_name, "%s/icf2html-bench-XXXXXX", base);
    if (!mkdtemp(bench_dir_name)) std::abort();
    std::atexit([] { std::filesystem::remove_all(bench_dir_name); });
    return std::string(bench_dir_name);
  }();
  return dir;
}
