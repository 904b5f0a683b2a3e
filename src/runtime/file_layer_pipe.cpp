// The pipe route: every operation goes to the controlling process over pipes.
#include "remote/pipe_protocol.h"
#include "runtime/file_layer.h"
#include "runtime/file_layer_routes.h"

namespace kiv {

namespace {

// The controller removes the file; a temporary file it was is not removed again at shutdown.
int unlink_through_pipe(const char *name) {
  const int result = PIOunlink(name);
  LogPurgeableFileUnlink(name);
  return result;
}

}  // namespace

const FileRoute pipe_route = {PIOopen,   PIOread,   PIOwrite,   PIOlseek,      PIOclose,
                              unlink_through_pipe, PIOrename, PIOGetSize, PIOCheckExist, keep_file_as_is,
                              nullptr};

}  // namespace kiv
