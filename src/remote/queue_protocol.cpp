// The message-queue route; the operations are not available yet.
#include "remote/queue_protocol.h"

namespace kiv {

int IPCopen(const char *, int, int) { return -1; }
int IPCread(int, void *, int) { return -1; }
int IPCwrite(int, const void *, int) { return -1; }
long IPClseek(int, long, int) { return -1; }
int IPCclose(int) { return -1; }
int IPCunlink(const char *) { return -1; }
int IPCrename(const char *, const char *) { return -1; }
long IPCGetSize(const char *) { return -1; }
int IPCCheckExist(const char *) { return -1; }

}  // namespace kiv
