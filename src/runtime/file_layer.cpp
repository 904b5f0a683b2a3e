// The file layer: routes, the local system calls, and the shutdown records.
#include "runtime/file_layer.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "remote/pipe_protocol.h"
#include "remote/queue_protocol.h"
#include "runtime/error_exit.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "runtime/strings.h"

namespace kiv {

FileLayerState file_layer;

namespace {

enum class Route { local, host, queue, pipes };

Route route() {
  if (settings.optflags & opt_host_files) return settings.IPCMsgQueueID < 0 ? Route::host : Route::queue;
  if (settings.optflags & opt_pipes) return Route::pipes;
  return Route::local;
}

// The hooks are functions of the host program; they are looked up once.
const HostFileHooks &host_hooks() {
  if (file_layer.hook_override) return *file_layer.hook_override;
  static const HostFileHooks found = [] {
    const auto find = [](const char *name) { return dlsym(RTLD_DEFAULT, name); };
    HostFileHooks h{};
    h.open = reinterpret_cast<decltype(h.open)>(find("IFSopen"));
    h.read = reinterpret_cast<decltype(h.read)>(find("IFSread"));
    h.write = reinterpret_cast<decltype(h.write)>(find("IFSwrite"));
    h.lseek = reinterpret_cast<decltype(h.lseek)>(find("IFSlseek"));
    h.close = reinterpret_cast<decltype(h.close)>(find("IFSclose"));
    h.unlink = reinterpret_cast<decltype(h.unlink)>(find("IFSunlink"));
    h.rename = reinterpret_cast<decltype(h.rename)>(find("IFSrename"));
    h.get_size = reinterpret_cast<decltype(h.get_size)>(find("IFSGetSize"));
    h.check_exist = reinterpret_cast<decltype(h.check_exist)>(find("IFSCheckExist"));
    return h;
  }();
  return found;
}

bool is_standard_handle(int h) {
  return h != -1 && (h == file_layer.stdout_handle || h == file_layer.stdin_handle);
}

constexpr mode_t create_permission = 0666;

// Files are written synchronously; temporary files are not: they never outlive
// the conversion, and waiting for the disk at every spill of a note buffer
// would slow conversions with many notes severalfold.
int local_flags_for(int kind) { return kind == kind_temporary ? O_NDELAY : O_SYNC | O_NDELAY; }

int local_open(const char *name, int mode, int kind) {
  const int local_flags = local_flags_for(kind);
  switch (mode) {
    case open_create: {
      struct stat existing{};
      if (lstat(name, &existing) == 0) {
        // A directory is never replaced, nor its permissions touched.
        if (S_ISDIR(existing.st_mode)) return -1;
        if (unlink(name) != 0) {
          if (chmod(name, create_permission) != 0) err_exit(exit_target_failed);
          if (unlink(name) != 0) {
            // Still there: the file is not ours to replace; it keeps its permissions.
            chmod(name, existing.st_mode & 07777);
            return -1;
          }
        }
      }
      int h = open(name, O_RDWR | O_CREAT | local_flags, create_permission);
      if (h == -1) h = open(name, O_WRONLY | O_CREAT | local_flags, create_permission);
      return h;
    }
    case open_update: {
      int h = open(name, O_RDWR | local_flags);
      if (h == -1) h = open(name, O_RDWR | O_CREAT | local_flags, create_permission);
      return h;
    }
    case open_append: {
      int h = open(name, O_RDWR | O_APPEND | local_flags);
      if (h == -1) h = open(name, O_RDWR | O_CREAT | O_APPEND | local_flags, create_permission);
      return h;
    }
    default: return open(name, O_RDONLY | local_flags);
  }
}

// The library's own rename: a hard link under the new name, then removal of the old.
int link_rename(const char *old_name, const char *new_name) {
  if (link(old_name, new_name) != 0) return -1;
  unlink(old_name);
  return 0;
}

}  // namespace

void reset_file_layer() { file_layer.small_buffers_wanted = false; }

void override_host_file_hooks(const HostFileHooks *hooks) { file_layer.hook_override = hooks; }

int KIVopen(const char *name, int mode, int kind) {
  if (settings.optflags & opt_pipes) file_layer.small_buffers_wanted = true;
  if (std::strcmp(name, "stdout") == 0) {
    file_layer.small_buffers_wanted = true;
    return file_layer.stdout_handle = STDOUT_FILENO;
  }
  if (std::strcmp(name, "stdin") == 0) {
    file_layer.small_buffers_wanted = true;
    return file_layer.stdin_handle = STDIN_FILENO;
  }
  switch (route()) {
    case Route::host: return host_hooks().open ? host_hooks().open(name, mode, kind) : -1;
    case Route::queue: return IPCopen(name, mode, kind);
    case Route::pipes: return PIOopen(name, mode, kind);
    case Route::local: break;
  }
  const int h = local_open(name, mode, kind);
  if (h == -1) return -1;
  if ((mode == open_create || mode == open_update) && kind == kind_temporary) {
    LogPurgeableFileClose(h);
    LogPurgeableFileName(name, h);
  } else {
    LogOpenFileHandle(h);
  }
  return h;
}

int KIVclose(int h) {
  if (is_standard_handle(h)) return 0;
  switch (route()) {
    case Route::host: return host_hooks().close ? host_hooks().close(h) : -1;
    case Route::queue: return IPCclose(h);
    case Route::pipes: return PIOclose(h);
    case Route::local: break;
  }
  if (h < 0) return -1;
  LogPurgeableFileClose(h);
  return close(h);
}

int KIVread(int h, void *buf, int n) {
  switch (route()) {
    case Route::host: return host_hooks().read ? host_hooks().read(h, buf, n) : -1;
    case Route::queue: return IPCread(h, buf, n);
    case Route::pipes: return PIOread(h, buf, n);
    case Route::local: break;
  }
  for (;;) {
    const ssize_t got = read(h, buf, static_cast<std::size_t>(n));
    if (got >= 0 || errno != EINTR) return static_cast<int>(got);
  }
}

int KIVwrite(int h, const void *buf, int n) {
  switch (route()) {
    case Route::host: return host_hooks().write ? host_hooks().write(h, buf, n) : -1;
    case Route::queue: return IPCwrite(h, buf, n);
    case Route::pipes: return PIOwrite(h, buf, n);
    case Route::local: break;
  }
  for (;;) {
    const ssize_t done = write(h, buf, static_cast<std::size_t>(n));
    if (done >= 0 || errno != EINTR) return static_cast<int>(done);
  }
}

long KIVlseek(int h, long offset, int whence) {
  switch (route()) {
    case Route::host: return host_hooks().lseek ? host_hooks().lseek(h, offset, whence) : -1;
    case Route::queue: return IPClseek(h, offset, whence);
    case Route::pipes: return PIOlseek(h, offset, whence);
    case Route::local: break;
  }
  const int how = whence == 1 ? SEEK_CUR : (whence == 2 ? SEEK_END : SEEK_SET);
  return static_cast<long>(lseek(h, offset, how));
}

int KIVunlink(const char *name) {
  int result;
  switch (route()) {
    case Route::host: return host_hooks().unlink ? host_hooks().unlink(name) : -1;
    case Route::queue: return IPCunlink(name);
    case Route::pipes: result = PIOunlink(name); break;
    case Route::local: result = unlink(name) == 0 ? 0 : -1; break;
  }
  LogPurgeableFileUnlink(name);
  return result;
}

int KIVrename(const char *old_name, const char *new_name) {
  switch (route()) {
    case Route::host: return host_hooks().rename ? host_hooks().rename(old_name, new_name) : -1;
    case Route::queue: return IPCrename(old_name, new_name);
    case Route::pipes: return PIOrename(old_name, new_name);
    case Route::local: break;
  }
  return link_rename(old_name, new_name);
}

long KIVGetSize(const char *name) {
  switch (route()) {
    case Route::host: return host_hooks().get_size ? host_hooks().get_size(name) : -1;
    case Route::queue: return IPCGetSize(name);
    case Route::pipes: return PIOGetSize(name);
    case Route::local: break;
  }
  return GETSIZE(name);
}

int KIVCheckExist(const char *name) {
  switch (route()) {
    case Route::host: return host_hooks().check_exist ? host_hooks().check_exist(name) : -1;
    case Route::queue: return IPCCheckExist(name);
    case Route::pipes: return PIOCheckExist(name);
    case Route::local: break;
  }
  struct stat info{};
  return stat(name, &info) == 0 ? 0 : -1;
}

int CheckExist(const char *name) { return KIVCheckExist(name); }

long GETSIZE(const char *name) {
  struct stat info{};
  return stat(name, &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

int bf_open(const char *name, int mode) { return KIVopen(name, mode, kind_plain); }

int truncate_at_position(int h) {
  if (route() != Route::local || is_standard_handle(h)) return 0;
  const off_t here = lseek(h, 0, SEEK_CUR);
  return here >= 0 && ftruncate(h, here) == 0 ? 0 : -1;
}

void forget_purgeable_names() { file_layer.PurgeableFileName.fill(nullptr); }

int ClearPurgeList() {
  file_layer.PurgeableFileHandle.fill(-1);
  file_layer.PurgeableFileName.fill(nullptr);
  file_layer.OpenFileHandle.fill(-1);
  return 0;
}

void KIVOSInitialize() {
  file_layer.PurgeableFileHandle.fill(-1);
  file_layer.OpenFileHandle.fill(-1);
  InitIFSPipes();
}

int LogPurgeableFileName(const char *name, int h) {
  auto &f = file_layer;
  for (int i = 0; i < purge_slots; ++i) {
    if (f.PurgeableFileName[i] && std::strcmp(f.PurgeableFileName[i], name) == 0) {
      f.PurgeableFileHandle[i] = h;
      return 0;
    }
  }
  for (int i = 0; i < purge_slots; ++i) {
    if (f.PurgeableFileHandle[i] == -1 && !f.PurgeableFileName[i]) {
      f.PurgeableFileHandle[i] = h;
      f.PurgeableFileName[i] = new_string(name);
      return 0;
    }
  }
  return 0;
}

int LogOpenFileHandle(int h) {
  auto &slots = file_layer.OpenFileHandle;
  for (int slot : slots)
    if (slot == h) return 0;
  for (int &slot : slots) {
    if (slot == -1) {
      slot = h;
      return 0;
    }
  }
  return 0;
}

int LogPurgeableFileClose(int h) {
  auto &f = file_layer;
  for (int i = 0; i < purge_slots; ++i) {
    if (f.PurgeableFileHandle[i] == h) {
      f.PurgeableFileHandle[i] = -1;
      return 0;
    }
  }
  for (int &slot : f.OpenFileHandle)
    if (slot == h) slot = -1;
  return 0;
}

int LogPurgeableFileUnlink(const char *name) {
  auto &f = file_layer;
  for (int i = 0; i < purge_slots; ++i) {
    // Names are recorded once; name may be the record itself, so stop at it.
    if (f.PurgeableFileName[i] && std::strcmp(f.PurgeableFileName[i], name) == 0) {
      KIVfree(f.PurgeableFileName[i]);
      f.PurgeableFileName[i] = nullptr;
      return 0;
    }
  }
  return 0;
}

}  // namespace kiv

extern "C" ICF2HTML_API int RemovePurgeableFiles(void) {
  using namespace kiv;
  auto &f = file_layer;
  for (int i = 0; i < purge_slots; ++i) {
    if (f.PurgeableFileHandle[i] != -1) KIVclose(f.PurgeableFileHandle[i]);
    f.PurgeableFileHandle[i] = -1;
    if (char *name = f.PurgeableFileName[i]) {
      if (std::strcmp(name, settings.icfname) != 0) KIVunlink(name);
      // The record goes whether or not the file could be removed.
      KIVfree(f.PurgeableFileName[i]);
      f.PurgeableFileName[i] = nullptr;
    }
  }
  for (int &slot : f.OpenFileHandle) {
    if (slot != -1) KIVclose(slot);
    slot = -1;
  }
  return 0;
}
