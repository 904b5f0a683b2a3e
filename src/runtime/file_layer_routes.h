// The routes of the file layer: one table of operations per route, each in a
// file of its own (local system calls, the host's hooks, pipes, a message
// queue), and the choice among them from the options.
#pragma once

namespace kiv {

struct FileRoute {
  int (*open)(const char *name, int mode, int kind);
  int (*read)(int h, void *buf, int n);
  int (*write)(int h, const void *buf, int n);
  long (*lseek)(int h, long offset, int whence);
  int (*close)(int h);
  int (*unlink)(const char *name);
  int (*rename)(const char *old_name, const char *new_name);
  long (*get_size)(const char *name);
  int (*check_exist)(const char *name);
  // Cuts the file at its current position; the remote routes keep their files as they are.
  int (*truncate_at_position)(int h);
  // Copies n bytes of from, starting at offset, to the current position of to
  // without passing them through the caller's memory; bytes copied, or -1 when
  // it cannot (the caller then reads and writes them itself). Null on the
  // routes whose files the library only reaches through reads and writes.
  long (*copy_range)(int from, long offset, int to, long n);
};

extern const FileRoute local_route;
extern const FileRoute host_route;
extern const FileRoute pipe_route;
extern const FileRoute queue_route;

// The route of the next operation, from optflags and IPCMsgQueueID.
const FileRoute &current_route();

// Whether a local input may be removed when the conversion is done with it: a
// directory, device, FIFO or socket stays.
bool removable_input(const char *name);

// The remote routes' answer to a cut: the file stays as it is; 0.
int keep_file_as_is(int h);

}  // namespace kiv
