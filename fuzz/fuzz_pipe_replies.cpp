// Fuzz target: reply streams of the pipe route. The first byte chooses the
// record length and the size of the reads; the rest is everything the
// controller answers. The client runs every operation in turn until the
// replies are used up; requests go to /dev/null.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <icf2html.h>

#include "remote/pipe_protocol.h"
#include "runtime/options.h"

namespace {

constexpr std::array<int, 4> record_lengths = {0, 300, 4096, 65536};
constexpr int most_operations = 64;

int quiet_stdout() {
  // The client's trace would drown the fuzzer's own output.
  std::fflush(stdout);
  return std::freopen("/dev/null", "w", stdout) ? 0 : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static const int quiet = quiet_stdout();
  (void)quiet;
  if (size == 0) return 0;
  const int replies = memfd_create("replies", 0);
  const int requests = open("/dev/null", O_WRONLY);
  if (replies == -1 || requests == -1) std::abort();
  if (size > 1 && write(replies, data + 1, size - 1) != static_cast<ssize_t>(size - 1)) std::abort();
  lseek(replies, 0, SEEK_SET);

  kiv::settings.in_pipe = replies;
  kiv::settings.out_pipe = requests;
  kiv::settings.max_pipe_buf_len = record_lengths[data[0] & 3];
  kiv::InitIFSPipes();
  const int wanted = 1 + (data[0] >> 2) * 1024;
  std::vector<unsigned char> buffer(static_cast<std::size_t>(wanted));
  for (int i = 0; i < most_operations && lseek(replies, 0, SEEK_CUR) < static_cast<off_t>(size - 1); ++i) {
    switch (i % 9) {
      case 0: kiv::PIOopen("page.html", 2, 2); break;
      case 1: {
        const int got = kiv::PIOread(3, buffer.data(), wanted);
        if (got > wanted) std::abort();
        break;
      }
      case 2: kiv::PIOwrite(3, buffer.data(), wanted); break;
      case 3: kiv::PIOlseek(3, 10, 0); break;
      case 4: kiv::PIOGetSize("page.html"); break;
      case 5: kiv::PIOCheckExist("page.html"); break;
      case 6: kiv::PIOunlink("KV000001.TMP"); break;
      case 7: kiv::PIOrename("a", "b"); break;
      case 8: kiv::PIOclose(3); break;
    }
  }
  close(replies);
  close(requests);
  KIVFreeAll();
  return 0;
}
