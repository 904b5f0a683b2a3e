// The message-queue route: every operation goes to the controlling process as
// a message; data travels in shared memory.
#include "remote/queue_protocol.h"
#include "runtime/file_layer_routes.h"

namespace kiv {

const FileRoute queue_route = {IPCopen,   IPCread,   IPCwrite,   IPClseek,      IPCclose,
                               IPCunlink, IPCrename, IPCGetSize, IPCCheckExist, keep_file_as_is,
                               nullptr};

}  // namespace kiv
