#include "support/fuzz_workspace.h"

#include <dirent.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace test_support {

namespace {
// Its name lives in a plain array, which no destructor clears before the exit
// handler runs.
char work_dir_name[] = "/tmp/icf2html-fuzz-XXXXXX";
}  // namespace

const std::string &fuzz_work_dir() {
  static const std::string dir = [] {
    if (!mkdtemp(work_dir_name)) std::abort();
    std::atexit([] { std::filesystem::remove_all(work_dir_name); });
    return std::string(work_dir_name);
  }();
  return dir;
}

bool temporary_files_left(const std::string &dir, const char *icf) {
  DIR *d = opendir(dir.c_str());
  if (!d) return false;
  bool found = false;
  while (const dirent *entry = readdir(d))
    if (std::strncmp(entry->d_name, "KV", 2) == 0 || std::strcmp(entry->d_name, icf) == 0) found = true;
  closedir(d);
  return found;
}

}  // namespace test_support
