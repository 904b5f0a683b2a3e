// File operations carried out by a controlling process over a message queue and
// shared memory. Until the protocol itself is in place every operation fails
// with -1.
#pragma once

namespace kiv {

int IPCopen(const char *name, int mode, int kind);
int IPCread(int h, void *buf, int n);
int IPCwrite(int h, const void *buf, int n);
long IPClseek(int h, long offset, int whence);
int IPCclose(int h);
int IPCunlink(const char *name);
int IPCrename(const char *old_name, const char *new_name);
long IPCGetSize(const char *name);
int IPCCheckExist(const char *name);

}  // namespace kiv
