// File operations on behalf of an isolated converter.
#include "file_service.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

namespace icf2html {

namespace {

constexpr mode_t create_permission = 0666;
constexpr std::string_view temporary_prefix = "KV";
constexpr std::string_view temporary_suffix = ".TMP";
constexpr std::size_t temporary_digits = 6;
constexpr std::string_view picture_prefix = "GR";
constexpr std::size_t picture_digits = 6;

bool all_digits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool is_plain_component(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

int open_flags(int mode) {
  switch (mode) {
    case 2: return O_RDWR | O_CREAT | O_TRUNC;
    case 3: return O_RDWR | O_CREAT;
    case 4: return O_RDWR | O_CREAT | O_APPEND;
    default: return O_RDONLY;
  }
}

}  // namespace

bool is_temporary_name(std::string_view name) {
  if (name.size() != temporary_prefix.size() + temporary_digits + temporary_suffix.size()) return false;
  if (!name.starts_with(temporary_prefix) || !name.ends_with(temporary_suffix)) return false;
  return all_digits(name.substr(temporary_prefix.size(), temporary_digits));
}

bool is_picture_name(std::string_view name) {
  const std::size_t dot = picture_prefix.size() + picture_digits;
  return name.size() > dot + 1 && name.starts_with(picture_prefix) && name[dot] == '.' &&
         all_digits(name.substr(picture_prefix.size(), picture_digits)) &&
         name.find('.', dot + 1) == std::string_view::npos;
}

namespace {

// Removes a claim that is still the empty file made for it.
void release(const std::string &path, const struct stat *made) {
  struct stat info{};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size != 0) return;
  if (made && (info.st_dev != made->st_dev || info.st_ino != made->st_ino)) return;
  ::unlink(path.c_str());
}

}  // namespace

void remove_claims_recorded_in(const std::string &private_dir) {
  DIR *dir = opendir(private_dir.c_str());
  if (!dir) return;
  while (const dirent *entry = readdir(dir)) {
    if (!std::string_view(entry->d_name).starts_with(claim_link_prefix)) continue;
    char target[4096];
    const std::string link = private_dir + "/" + entry->d_name;
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0) release(std::string(target, static_cast<std::size_t>(n)), nullptr);
  }
  closedir(dir);
}

FileService::~FileService() {
  if (handed_input_ != -1) ::close(handed_input_);
  for (int handle : handles_) ::close(handle);
  for (const Claim &claim : claims_) {
    struct stat made{};
    made.st_dev = claim.device;
    made.st_ino = claim.inode;
    release(claim.path, &made);
    if (!claim.record.empty()) ::unlink(claim.record.c_str());
  }
}

bool FileService::claim(const std::string &beside) {
  if (std::ranges::any_of(claims_, [&](const Claim &c) { return c.path == beside; })) return true;
  const int fd = ::open(beside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd == -1) return errno != EEXIST;  // a folder that takes no file has no name to take either
  struct stat info{};
  ::fstat(fd, &info);
  ::close(fd);
  Claim &made = claims_.emplace_back(Claim{beside, info.st_dev, info.st_ino, {}});
  // The record for a controller that is killed before it removes its claims.
  if (char *absolute = ::realpath(beside.c_str(), nullptr)) {
    const std::string link = policy_.private_dir + "/" + std::string(claim_link_prefix) +
                             std::to_string(claims_.size());
    if (::symlink(absolute, link.c_str()) == 0) made.record = link;
    std::free(absolute);
  }
  return true;
}

FileService::Resolved FileService::resolve(std::string_view name) {
  if (name == policy_.intermediate_name) return {Access::input, policy_.input_path, {}};
  const std::string folder = policy_.private_dir + "/";
  const auto belongs = [this](std::string_view local) {
    return is_plain_component(local) &&
           (local.starts_with(policy_.picture_stem) || is_picture_name(local) || is_temporary_name(local));
  };
  for (const std::string &prefix : {folder, policy_.target_dir}) {
    if (!name.starts_with(prefix)) continue;
    if (const std::string_view local = name.substr(prefix.size()); belongs(local)) {
      const bool picture = local != policy_.page_name && !is_temporary_name(local);
      other_files_ = other_files_ || local != policy_.page_name;
      return {Access::private_file, folder + std::string(local),
              picture ? policy_.target_dir + std::string(local) : std::string()};
    }
  }
  // Temporary files are made beside the intermediate file, which has no folder part.
  if (is_temporary_name(name)) {
    other_files_ = true;
    return {Access::private_file, folder + std::string(name), {}};
  }
  refused_.emplace_back(name);
  return {Access::refused, {}, {}};
}

int FileService::open(std::string_view name, int mode, int) {
  const Resolved file = resolve(name);
  if (file.access == Access::refused) return -1;
  if (file.access == Access::input && mode != 2 && mode != 3 && mode != 4) {
    const int handle = handed_input_ != -1 ? std::exchange(handed_input_, -1) : ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle != -1) handles_.insert(handle);
    return handle;
  }
  if (file.access == Access::input) {
    // The user's input is never written.
    refused_.emplace_back(name);
    return -1;
  }
  const int handle = ::open(file.path.c_str(), open_flags(mode) | O_CLOEXEC, create_permission);
  if (handle != -1) handles_.insert(handle);
  return handle;
}

int FileService::read(int handle, unsigned char *to, int count) {
  if (!handles_.contains(handle) || count < 0) return -1;
  int got = 0;
  while (got < count) {
    const ssize_t n = ::read(handle, to + got, static_cast<std::size_t>(count - got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return got > 0 ? got : -1;
    if (n == 0) break;
    got += static_cast<int>(n);
  }
  return got;
}

int FileService::write(int handle, const unsigned char *from, int count) {
  if (!handles_.contains(handle) || count < 0) return -1;
  int done = 0;
  while (done < count) {
    const ssize_t n = ::write(handle, from + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done > 0 ? done : -1;
    done += static_cast<int>(n);
  }
  return done;
}

long FileService::seek(int handle, long offset, int whence) {
  if (!handles_.contains(handle)) return -1;
  const int how = whence == 1 ? SEEK_CUR : (whence == 2 ? SEEK_END : SEEK_SET);
  return static_cast<long>(::lseek(handle, offset, how));
}

int FileService::close(int handle) {
  if (!handles_.erase(handle)) return -1;
  return ::close(handle) == 0 ? 0 : -1;
}

int FileService::unlink(std::string_view name) {
  const Resolved file = resolve(name);
  switch (file.access) {
    // The converter removes its intermediate file when it is done; the user's
    // input stays where it is.
    case Access::input: return 0;
    case Access::private_file: return ::unlink(file.path.c_str()) == 0 ? 0 : -1;
    case Access::refused: break;
  }
  return -1;
}

int FileService::rename(std::string_view old_name, std::string_view new_name) {
  const Resolved from = resolve(old_name);
  const Resolved to = resolve(new_name);
  if (from.access != Access::private_file || to.access != Access::private_file) return -1;
  // As the library's own rename: never over an existing file.
  if (::link(from.path.c_str(), to.path.c_str()) != 0) return -1;
  ::unlink(from.path.c_str());
  return 0;
}

long FileService::size(std::string_view name) {
  const Resolved file = resolve(name);
  struct stat info{};
  if (file.access == Access::refused || ::stat(file.path.c_str(), &info) != 0) return -1;
  return static_cast<long>(info.st_size);
}

int FileService::exists(std::string_view name) {
  const Resolved file = resolve(name);
  struct stat info{};
  if (file.access == Access::refused) return -1;
  if (::lstat(file.path.c_str(), &info) == 0) return 0;
  return file.beside.empty() || claim(file.beside) ? -1 : 0;
}

}  // namespace icf2html
