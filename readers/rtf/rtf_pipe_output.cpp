#include "rtf_pipe_output.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "runtime/error_exit.h"
#include "stream/buffered_io.h"

namespace kiv {
namespace {

constexpr std::size_t slot_size = 1 << 16;  // whole pages, as many as the pipe is made to hold
constexpr int slot_count = 2;

struct PipeOutput {
  int fd = -1;
  unsigned char *ring = nullptr;  // slot_count slots of slot_size bytes
  int slot = 0;                   // the slot being filled
  std::size_t used = 0;           // bytes in it
};
PipeOutput pipe_output;

unsigned char *slot_start(int slot) { return pipe_output.ring + static_cast<std::size_t>(slot) * slot_size; }

// Hands [bytes, bytes + n) to the pipe whole, by reference. A pipe that
// refuses them ends the conversion, as a refused write of the library's
// buffered target does.
void splice_all(unsigned char *bytes, std::size_t n) {
  while (n > 0) {
    iovec piece{bytes, n};
    const ssize_t moved = vmsplice(pipe_output.fd, &piece, 1, 0);
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0) err_exit(exit_write_failed);
    bytes += moved;
    n -= static_cast<std::size_t>(moved);
  }
}

int put_run(const unsigned char *bytes, long n) {
  PipeOutput &p = pipe_output;
  while (n > 0) {
    const std::size_t chunk = std::min(static_cast<std::size_t>(n), slot_size - p.used);
    std::memcpy(slot_start(p.slot) + p.used, bytes, chunk);
    p.used += chunk;
    bytes += chunk;
    n -= static_cast<long>(chunk);
    if (p.used == slot_size) {
      splice_all(slot_start(p.slot), slot_size);
      p.slot = (p.slot + 1) % slot_count;
      p.used = 0;
    }
  }
  return 0;
}

int put_byte(int c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return put_run(&byte, 1);
}

// The reader never takes a byte back.
int unput_none() { return -1; }

}  // namespace

bool begin_pipe_output(int fd) {
  struct stat info{};
  if (fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode)) return false;
  if (fcntl(fd, F_SETPIPE_SZ, static_cast<int>(slot_size)) != static_cast<int>(slot_size)) return false;
  void *ring = mmap(nullptr, slot_size * slot_count, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (ring == MAP_FAILED) return false;
  pipe_output = {fd, static_cast<unsigned char *>(ring), 0, 0};
  RedirectOutput(put_byte, unput_none);
  RedirectOutputRuns(put_run);
  return true;
}

void end_pipe_output() {
  PipeOutput &p = pipe_output;
  RedirectOutputClose();
  if (p.used > 0) splice_all(slot_start(p.slot), p.used);
  munmap(p.ring, slot_size * slot_count);
  p = {};
}

}  // namespace kiv
