#include "input_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace icf2html {
namespace {

constexpr std::size_t max_intermediate_name = 124;  // the entry keeps at most this many characters

// A new empty file named after the template in dir; its descriptor, or -1.
int make_temporary(const std::string &dir, std::string &name) {
  if (dir.size() + 20 > max_intermediate_name) return -1;
  std::vector<char> buffer(dir.begin(), dir.end());
  for (char c : std::string("icf2html-XXXXXX")) buffer.push_back(c);
  buffer.push_back('\0');
  const int fd = mkstemp(buffer.data());
  if (fd != -1) name = buffer.data();
  return fd;
}

// A second link to the regular file input under a new name in dir; the name,
// or "" when none can be made there (another file system, no permission).
std::string link_as_temporary(const char *input, const std::string &dir) {
  std::string name;
  const int fd = make_temporary(dir, name);
  if (fd == -1) return "";
  close(fd);
  unlink(name.c_str());
  // A link never replaces a file: should another program take the name
  // meanwhile, this fails and the input is copied instead.
  if (linkat(AT_FDCWD, input, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return name;
  return "";
}

}  // namespace

std::string directory_of(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string temporary_directory() {
  const char *tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/";
}

std::string copy_to_intermediate(const char *input, const std::string &dir, bool &input_failed, int &error) {
  struct stat info{};
  if (std::strcmp(input, "-") != 0 && stat(input, &info) == 0 && S_ISREG(info.st_mode)) {
    for (const std::string &where : {dir, temporary_directory()}) {
      if (std::string linked = link_as_temporary(input, where); !linked.empty()) return linked;
    }
  }
  std::string name;
  int out = make_temporary(dir, name);
  if (out == -1) out = make_temporary(temporary_directory(), name);
  if (out == -1) {
    error = errno;
    return "";
  }
  const int in = std::strcmp(input, "-") == 0 ? STDIN_FILENO : open(input, O_RDONLY);
  input_failed = in == -1;
  bool ok = in != -1;
  if (!ok) error = errno;
  char chunk[65536];
  while (ok) {
    const ssize_t n = read(in, chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      error = errno;
      input_failed = true;
      ok = false;
      break;
    }
    ok = write(out, chunk, static_cast<std::size_t>(n)) == n;
    if (!ok) error = errno;
  }
  if (in > STDIN_FILENO) close(in);
  if (close(out) != 0 && ok) {
    error = errno;
    ok = false;
  }
  if (!ok) {
    unlink(name.c_str());
    return "";
  }
  return name;
}

}  // namespace icf2html
