#include "output_guard.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "input_copy.h"

namespace icf2html {
namespace {

std::string base_name(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool is_special(mode_t mode) { return S_ISCHR(mode) || S_ISBLK(mode) || S_ISFIFO(mode) || S_ISSOCK(mode); }

bool not_before(const timespec &t, const timespec &start) {
  return t.tv_sec > start.tv_sec || (t.tv_sec == start.tv_sec && t.tv_nsec >= start.tv_nsec);
}

}  // namespace

bool OutputGuard::protect(const std::string &output, bool known_files) {
  output_ = output;
  known_files_ = known_files;
  directory_ = directory_of(output);
  if (directory_.empty()) directory_ = "./";
  struct stat info{};
  const bool exists = lstat(output.c_str(), &info) == 0;
  if (exists && is_special(info.st_mode)) {
    output_.clear();  // written as it stands; nothing to keep or undo
    return true;
  }
  if (!exists && known_files_) return true;  // absent: restore removes what the caller placed
  old_mode_ = info.st_mode & 07777;
  // A placeholder beside OUTPUT: the old file replaces it in one step, and
  // its change time, in the folder's own clock, marks the conversion's start.
  std::vector<char> name(directory_.begin(), directory_.end());
  for (char c : std::string(".icf2html-kept-XXXXXX")) name.push_back(c);
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd == -1) {
    if (exists) return false;
    // A folder where nothing can be made: the conversion makes nothing there either.
    clock_gettime(CLOCK_REALTIME_COARSE, &started_);
    return true;
  }
  struct stat placeholder{};
  const bool dated = fstat(fd, &placeholder) == 0;
  close(fd);
  if (!dated) {
    const int error = errno;
    unlink(name.data());
    errno = error;
    return false;
  }
  started_ = placeholder.st_ctim;
  if (!exists) {
    unlink(name.data());
    return true;  // absent: a failure removes what the conversion made
  }
  if (rename(output.c_str(), name.data()) != 0) {
    const int error = errno;
    unlink(name.data());
    errno = error;
    return false;
  }
  aside_ = name.data();
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
  // or numbered, and OUTPUT itself, changed since the conversion began (the
  // library names its pictures only where no file is). The folder is listed
  // only now: a folder of many files costs a failed conversion alone.
  const std::string page = base_name(output_);
  const std::string stem = page.substr(0, page.rfind('.'));
  const std::string aside = base_name(aside_);
  if (DIR *d = opendir(directory_.c_str())) {
    while (const dirent *entry = readdir(d)) {
      const std::string name = entry->d_name;
      if (name == "." || name == ".." || name == aside) continue;
      const bool made_here = name == page || name.rfind(stem, 0) == 0 || name.rfind("GR", 0) == 0;
      struct stat info{};
      const std::string path = directory_ + name;
      if (made_here && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && not_before(info.st_ctim, started_))
        unlink(path.c_str());
    }
    closedir(d);
  }
  if (!aside_.empty()) rename(aside_.c_str(), output_.c_str());
}

}  // namespace icf2html
