// The pipe route: record buffers; the operations are not available yet.
#include "remote/pipe_protocol.h"

#include "runtime/error_exit.h"
#include "runtime/memory.h"
#include "runtime/options.h"

namespace kiv {

PipeState pipes;

void reset_pipe_protocol() { pipes = {}; }

namespace {
constexpr int record_spare = 4;
constexpr int fallback_length = 4096;

unsigned char *record_buffer(int length) {
  return static_cast<unsigned char *>(KIVmalloc(static_cast<std::size_t>(length) + record_spare));
}
}  // namespace

void InitIFSPipes() {
  KIVfree(pipes.out_pipe_buffer);
  KIVfree(pipes.in_pipe_buffer);
  pipes = {};
  const int length = settings.max_pipe_buf_len > 0 ? settings.max_pipe_buf_len : 0;
  for (unsigned char **slot : {&pipes.out_pipe_buffer, &pipes.in_pipe_buffer}) {
    *slot = record_buffer(length);
    if (!*slot && length > fallback_length) *slot = record_buffer(fallback_length);
    if (!*slot) KIVexit(8);
  }
  pipes.out_rec = pipes.out_pipe_buffer;
  pipes.in_rec = pipes.in_pipe_buffer;
}

int PIOopen(const char *, int, int) { return -1; }
int PIOread(int, void *, int) { return -1; }
int PIOwrite(int, const void *, int) { return -1; }
long PIOlseek(int, long, int) { return -1; }
int PIOclose(int) { return -1; }
int PIOunlink(const char *) { return -1; }
int PIOrename(const char *, const char *) { return -1; }
long PIOGetSize(const char *) { return -1; }
int PIOCheckExist(const char *) { return -1; }

}  // namespace kiv
