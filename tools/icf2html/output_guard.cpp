#include "output_guard.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "input_copy.h"

namespace icf2html {
namespace {

std::set<std::string> names_in(const std::string &directory) {
  std::set<std::string> names;
  if (DIR *d = opendir(directory.c_str())) {
    while (const dirent *entry = readdir(d)) names.insert(entry->d_name);
    closedir(d);
  }
  return names;
}

std::string base_name(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool is_special(mode_t mode) { return S_ISCHR(mode) || S_ISBLK(mode) || S_ISFIFO(mode) || S_ISSOCK(mode); }

}  // namespace

bool OutputGuard::protect(const std::string &output, bool known_files) {
  output_ = output;
  known_files_ = known_files;
  directory_ = directory_of(output);
  if (directory_.empty()) directory_ = "./";
  struct stat info{};
  if (lstat(output.c_str(), &info) != 0) {
    if (!known_files_) names_before_ = names_in(directory_);
    return true;  // absent: a failure removes what the conversion made
  }
  if (is_special(info.st_mode)) {
    output_.clear();  // written as it stands; nothing to keep or undo
    return true;
  }
  old_mode_ = info.st_mode & 07777;
  std::vector<char> name(directory_.begin(), directory_.end());
  for (char c : std::string(".icf2html-kept-XXXXXX")) name.push_back(c);
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd == -1) return false;
  close(fd);
  // The placeholder is replaced in one step by the old file.
  if (rename(output.c_str(), name.data()) != 0) {
    const int error = errno;
    unlink(name.data());
    errno = error;
    return false;
  }
  aside_ = name.data();
  if (!known_files_) names_before_ = names_in(directory_);
  return true;
}

void OutputGuard::commit() {
  if (output_.empty()) return;
  if (!aside_.empty()) {
    struct stat info{};
    if (lstat(output_.c_str(), &info) == 0 && S_ISREG(info.st_mode)) chmod(output_.c_str(), old_mode_);
    unlink(aside_.c_str());
  }
}

void OutputGuard::restore() {
  if (output_.empty()) return;
  if (known_files_) {
    for (const std::string &path : placed_) unlink(path.c_str());
    unlink(output_.c_str());
    if (!aside_.empty()) rename(aside_.c_str(), output_.c_str());
    return;
  }
  // Files the conversion made beside OUTPUT: its pictures, named after OUTPUT
  // or numbered, and OUTPUT itself.
  const std::string stem = base_name(output_).substr(0, base_name(output_).rfind('.'));
  for (const std::string &name : names_in(directory_)) {
    if (names_before_.count(name) != 0) continue;
    const bool made_here = name == base_name(output_) || name.rfind(stem, 0) == 0 || name.rfind("GR", 0) == 0;
    struct stat info{};
    const std::string path = directory_ + name;
    if (made_here && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
  }
  if (!aside_.empty()) rename(aside_.c_str(), output_.c_str());
}

}  // namespace icf2html
