// The local route: the system's own calls, and the records of what was
// opened, which the shutdown calls close and remove.
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "objects/signal_handler.h"
#include "runtime/error_exit.h"
#include "runtime/file_layer.h"
#include "runtime/file_layer_routes.h"

namespace kiv {

namespace {

constexpr mode_t create_permission = 0666;

// Files are written synchronously; temporary files are not: they never outlive
// the conversion, and waiting for the disk at every spill of a note buffer
// would slow conversions with many notes severalfold.
int local_flags_for(int kind) { return kind == kind_temporary ? O_NDELAY : O_SYNC | O_NDELAY; }

// Devices, FIFOs and sockets are files the library writes or reads as they
// stand: they are never removed or replaced, and they are used blocking.
constexpr bool is_special(mode_t mode) {
  return S_ISCHR(mode) || S_ISBLK(mode) || S_ISFIFO(mode) || S_ISSOCK(mode);
}

// Opens an existing special file for writing as it stands.
int open_special_for_writing(const char *name, int mode) {
  return open(name, O_WRONLY | (mode == open_append ? O_APPEND : 0) | O_NOFOLLOW);
}

// A file opened for reading: a FIFO or device is read blocking, as a stream
// (a FIFO waits for its writer); a directory is no input.
int open_for_reading(const char *name, int local_flags) {
  struct stat info{};
  if (stat(name, &info) == 0 && is_special(info.st_mode)) local_flags &= ~O_NONBLOCK;
  const int h = open(name, O_RDONLY | local_flags);
  if (h == -1) return -1;
  if (fstat(h, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(h);
    errno = EISDIR;
    return -1;
  }
  if (is_special(info.st_mode)) fcntl(h, F_SETFL, fcntl(h, F_GETFL) & ~O_NONBLOCK);
  return h;
}

int local_open(const char *name, int mode, int kind) {
  const int local_flags = local_flags_for(kind);
  if (mode != open_create && mode != open_update && mode != open_append) return open_for_reading(name, local_flags);
  // A symbolic link is never followed into its target: the link itself is
  // replaced (mode 2), or the open fails (modes 3 and 4).
  struct stat existing{};
  const bool exists = lstat(name, &existing) == 0;
  if (exists && is_special(existing.st_mode)) return open_special_for_writing(name, mode);
  // A directory is never replaced, nor its permissions touched.
  if (exists && S_ISDIR(existing.st_mode)) return -1;
  const int flags = local_flags | O_NOFOLLOW;
  switch (mode) {
    case open_create: {
      if (exists && unlink(name) != 0) {
        if (chmod(name, create_permission) != 0) err_exit(exit_target_failed);
        if (unlink(name) != 0) {
          // Still there: the file is not ours to replace; it keeps its permissions.
          chmod(name, existing.st_mode & 07777);
          return -1;
        }
      }
      // Exclusive: whatever appeared under the name since is not written through.
      int h = open(name, O_RDWR | O_CREAT | O_EXCL | flags, create_permission);
      if (h == -1 && errno != EEXIST) h = open(name, O_WRONLY | O_CREAT | O_EXCL | flags, create_permission);
      return h;
    }
    case open_update: {
      int h = open(name, O_RDWR | flags);
      if (h == -1 && errno == ENOENT) h = open(name, O_RDWR | O_CREAT | flags, create_permission);
      return h;
    }
    default: {
      int h = open(name, O_RDWR | O_APPEND | flags);
      if (h == -1 && errno == ENOENT) h = open(name, O_RDWR | O_CREAT | O_APPEND | flags, create_permission);
      return h;
    }
  }
}

// The local route's rename, private to this file: a hard link under the new
// name, then removal of the old, so that an existing file is never replaced.
int link_rename(const char *old_name, const char *new_name) {
  if (link(old_name, new_name) != 0) return -1;
  unlink(old_name);
  return 0;
}

int local_open_logged(const char *name, int mode, int kind) {
  const bool temporary = (mode == open_create || mode == open_update) && kind == kind_temporary;
  // A temporary file's name is recorded before the file is made, so that a
  // program ended by a signal in between still finds it among the names to
  // remove; when the open fails, a name recorded only for it goes again.
  const bool recorded_before = temporary && is_purgeable_name(name);
  if (temporary && !recorded_before) LogPurgeableFileName(name, -1);
  const int h = local_open(name, mode, kind);
  if (h == -1) {
    if (temporary && !recorded_before) LogPurgeableFileUnlink(name);
    return -1;
  }
  if (temporary) {
    LogPurgeableFileClose(h);
    LogPurgeableFileName(name, h);
  } else {
    LogOpenFileHandle(h);
  }
  return h;
}

int local_read(int h, void *buf, int n) {
  for (;;) {
    const ssize_t got = read(h, buf, static_cast<std::size_t>(n));
    if (got >= 0 || errno != EINTR) return static_cast<int>(got);
    stop_if_interrupted();
  }
}

int local_write(int h, const void *buf, int n) {
  for (;;) {
    const ssize_t done = write(h, buf, static_cast<std::size_t>(n));
    if (done >= 0 || errno != EINTR) return static_cast<int>(done);
    stop_if_interrupted();
  }
}

long local_lseek(int h, long offset, int whence) {
  const int how = whence == 1 ? SEEK_CUR : (whence == 2 ? SEEK_END : SEEK_SET);
  return static_cast<long>(lseek(h, offset, how));
}

int local_close(int h) {
  if (h < 0) return -1;
  LogPurgeableFileClose(h);
  return close(h);
}

int local_unlink(const char *name) {
  const int result = unlink(name) == 0 ? 0 : -1;
  LogPurgeableFileUnlink(name);
  return result;
}

int local_check_exist(const char *name) {
  struct stat info{};
  return stat(name, &info) == 0 ? 0 : -1;
}

// Within the kernel: from file to file, or from a file to anything writable.
// A copy cut short reports what it moved; the caller moves the rest itself.
long local_copy_range(int from, long offset, int to, long n) {
  loff_t at = offset;
  long done = 0;
  bool to_any = false;  // copy_file_range refused: the target is no plain file on this system
  while (done < n) {
    const auto wanted = static_cast<std::size_t>(n - done);
    const ssize_t moved = to_any ? sendfile(to, from, &at, wanted) : copy_file_range(from, &at, to, nullptr, wanted, 0);
    if (moved > 0) {
      done += moved;
      continue;
    }
    if (moved < 0 && errno == EINTR) {
      stop_if_interrupted();
      continue;
    }
    if (moved < 0 && done == 0 && !to_any && errno != EIO && errno != ENOSPC) {
      to_any = true;
      continue;
    }
    break;
  }
  return done > 0 ? done : -1;
}

int local_truncate(int h) {
  const off_t here = lseek(h, 0, SEEK_CUR);
  return here >= 0 && ftruncate(h, here) == 0 ? 0 : -1;
}

}  // namespace

bool removable_input(const char *name) {
  struct stat info{};
  return lstat(name, &info) != 0 || !(S_ISDIR(info.st_mode) || is_special(info.st_mode));
}

const FileRoute local_route = {local_open_logged, local_read,   local_write, local_lseek,       local_close,
                               local_unlink,      link_rename,  GETSIZE,     local_check_exist, local_truncate,
                               local_copy_range};

}  // namespace kiv
