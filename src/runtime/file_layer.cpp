// The file layer: the operations, passed to the route the options choose, and
// the shutdown records.
#include "runtime/file_layer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "remote/pipe_protocol.h"
#include "runtime/file_layer_routes.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "runtime/strings.h"

namespace kiv {

FileLayerState file_layer;

namespace {

bool is_standard_handle(int h) {
  return h != -1 && (h == file_layer.stdout_handle || h == file_layer.stdin_handle);
}

}  // namespace

void reset_file_layer() { file_layer.small_buffers_wanted = false; }

const FileRoute &current_route() {
  if (settings.optflags & opt_host_files) return settings.IPCMsgQueueID < 0 ? host_route : queue_route;
  if (settings.optflags & opt_pipes) return pipe_route;
  return local_route;
}

int keep_file_as_is(int) { return 0; }

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
  return current_route().open(name, mode, kind);
}

int KIVclose(int h) {
  if (is_standard_handle(h)) return 0;
  return current_route().close(h);
}

int KIVread(int h, void *buf, int n) { return current_route().read(h, buf, n); }
int KIVwrite(int h, const void *buf, int n) { return current_route().write(h, buf, n); }
long KIVlseek(int h, long offset, int whence) { return current_route().lseek(h, offset, whence); }
bool KIVcan_copy(int to) { return current_route().copy_range != nullptr && !is_standard_handle(to); }
long KIVcopy(int from, long offset, int to, long n) {
  if (is_standard_handle(from) || !KIVcan_copy(to)) return -1;
  return current_route().copy_range(from, offset, to, n);
}
int KIVunlink(const char *name) { return current_route().unlink(name); }
int KIVrename(const char *old_name, const char *new_name) { return current_route().rename(old_name, new_name); }
long KIVGetSize(const char *name) { return current_route().get_size(name); }
int KIVCheckExist(const char *name) { return current_route().check_exist(name); }

int CheckExist(const char *name) { return KIVCheckExist(name); }

long GETSIZE(const char *name) {
  struct stat info{};
  return stat(name, &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

int remove_input_file(const char *name) {
  if (&current_route() == &local_route && !removable_input(name)) return -1;
  return KIVunlink(name);
}

int bf_open(const char *name, int mode) { return KIVopen(name, mode, kind_plain); }

int truncate_at_position(int h) {
  if (is_standard_handle(h)) return 0;
  return current_route().truncate_at_position(h);
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

namespace {

// Empties slot i of the recorded names before the name's memory goes, so
// that a signal handler walking the names never meets a freed one.
void drop_purgeable_record(int i) {
  char *record = file_layer.PurgeableFileName[i];
  file_layer.PurgeableFileName[i] = nullptr;
  KIVfree(record);
}

}  // namespace

int LogPurgeableFileUnlink(const char *name) {
  auto &f = file_layer;
  for (int i = 0; i < purge_slots; ++i) {
    // Names are recorded once; name may be the record itself, so stop at it.
    if (f.PurgeableFileName[i] && std::strcmp(f.PurgeableFileName[i], name) == 0) {
      drop_purgeable_record(i);
      return 0;
    }
  }
  return 0;
}

bool is_purgeable_name(const char *name) {
  for (const char *recorded : file_layer.PurgeableFileName)
    if (recorded && std::strcmp(recorded, name) == 0) return true;
  return false;
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
      drop_purgeable_record(i);
    }
  }
  for (int &slot : f.OpenFileHandle) {
    if (slot != -1) KIVclose(slot);
    slot = -1;
  }
  return 0;
}
