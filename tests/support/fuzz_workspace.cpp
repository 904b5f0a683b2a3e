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

namespace {

bool any_file(const std::string &dir, bool (*wanted)(const char *name, const char *given), const char *given) {
  DIR *d = opendir(dir.c_str());
  if (!d) return false;
  bool found = false;
  while (const dirent *entry = readdir(d)) found = found || wanted(entry->d_name, given);
  closedir(d);
  return found;
}

}  // namespace

bool temporary_files_left(const std::string &dir, const char *icf) {
  return any_file(dir, [](const char *name, const char *given) {
    return std::strncmp(name, "KV", 2) == 0 || std::strcmp(name, given) == 0;
  }, icf);
}

bool files_other_than(const std::string &dir, const char *kept) {
  return any_file(dir, [](const char *name, const char *given) {
    return std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0 && std::strcmp(name, given) != 0;
  }, kept);
}

}  // namespace test_support
