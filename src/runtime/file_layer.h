// The file layer: every file operation of the library goes through these calls,
// which choose the route (local system calls, the host's file hooks, pipes to a
// controlling process or a message queue) from the options, and keep the records
// of open and temporary files that the shutdown calls close and remove.
#pragma once

#include <array>

#include <icf2html.h>  // RemovePurgeableFiles, exported for the host

#include "common/types.h"

namespace kiv {

// Open modes and file kinds of KIVopen.
inline constexpr int open_read = 1;
inline constexpr int open_create = 2;   // create, replacing an existing file
inline constexpr int open_update = 3;   // read-write, created if missing
inline constexpr int open_append = 4;   // append, created if missing
inline constexpr int kind_plain = 0;
inline constexpr int kind_source = 1;     // the intermediate file
inline constexpr int kind_target = 2;     // the converter's output
inline constexpr int kind_temporary = 3;  // removed at shutdown (modes 2 and 3)

inline constexpr int purge_slots = 40;
inline constexpr int open_slots = 10;

struct HostFileHooks;

// Shutdown records of the local route (they outlive a conversion, until the
// host's RemovePurgeableFiles) and what the conversion has opened.
struct FileLayerState {
  std::array<int, purge_slots> PurgeableFileHandle = filled_array<purge_slots>(-1);
  std::array<char *, purge_slots> PurgeableFileName{};
  std::array<int, open_slots> OpenFileHandle = filled_array<open_slots>(-1);
  int stdin_handle = -1;
  int stdout_handle = -1;
  // A pipe or a standard stream was opened in this conversion: buffered I/O
  // then keeps its buffers small.
  bool small_buffers_wanted = false;
  const HostFileHooks *hook_override = nullptr;  // hooks set by tests instead of the host's
};
extern FileLayerState file_layer;

// Returns the file layer to the start of a conversion; the shutdown records and
// the hook override stay.
void reset_file_layer();

// The host's file hooks, looked up by name in the host program at run time.
struct HostFileHooks {
  int (*open)(const char *name, int mode, int kind);
  int (*read)(int handle, void *buffer, int count);
  int (*write)(int handle, const void *buffer, int count);
  long (*lseek)(int handle, long offset, int whence);
  int (*close)(int handle);
  int (*unlink)(const char *name);
  int (*rename)(const char *old_name, const char *new_name);
  long (*get_size)(const char *name);
  int (*check_exist)(const char *name);
};
// Replaces the hooks found in the host (tests); null returns to the lookup.
void override_host_file_hooks(const HostFileHooks *hooks);

// Handle or -1. Modes above; kind 3 records a temporary file for removal.
int KIVopen(const char *name, int mode, int kind);
// 0, or the route's result; the standard streams are never closed.
int KIVclose(int h);
// Bytes transferred; 0 at the end or when nothing could be written; negative on error.
int KIVread(int h, void *buf, int n);
int KIVwrite(int h, const void *buf, int n);
// New offset or -1; whence 0 start, 1 current, 2 end.
long KIVlseek(int h, long offset, int whence);
// Copies n bytes of from, starting at offset (its own position does not move),
// to the current position of to, inside the system when the route allows it:
// bytes copied, or -1 when it cannot, and the caller reads and writes them.
long KIVcopy(int from, long offset, int to, long n);
// Whether KIVcopy may copy into to: the route copies between files and to is
// no standard stream.
bool KIVcan_copy(int to);
int KIVunlink(const char *name);
int KIVrename(const char *old_name, const char *new_name);
long KIVGetSize(const char *name);
// 0 if the file exists, else -1 (or the hook's nonzero answer).
int KIVCheckExist(const char *name);
int CheckExist(const char *name);
// Size by the local stat, whatever the route; -1 when it fails.
long GETSIZE(const char *name);
int bf_open(const char *name, int mode);
// Data files are not available on this platform: -1.
inline int openDatFile(const char *) { return -1; }
// Removes an input file when it is done with; a directory, device, FIFO or
// socket given as input is left as it is. 0, or -1.
int remove_input_file(const char *name);
// Cuts a local file at its current position (what follows was taken back);
// other routes keep their file as it is. 0, or -1.
int truncate_at_position(int h);

// Drops the recorded names without freeing them (after KIVFreeAll).
void forget_purgeable_names();
// Empties the shutdown tables without closing or removing anything.
int ClearPurgeList();
// Resets the open-handle records and sets up the pipe record buffers.
void KIVOSInitialize();
int LogPurgeableFileName(const char *name, int h);
int LogOpenFileHandle(int h);
int LogPurgeableFileClose(int h);
int LogPurgeableFileUnlink(const char *name);
// Whether name is among the recorded temporary files.
bool is_purgeable_name(const char *name);

}  // namespace kiv
