// Fuzz target: compound-file recognition over an in-memory file. Every input is
// given the compound-file signature and padded to the 2048 bytes the recogniser
// needs, so the fuzzer spends its time in the header, chains and directory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "recognition/autorec.h"
#include "recognition/compound_recognition.h"

namespace {

struct MemoryFile {
  const unsigned char *data = nullptr;
  long size = 0;
  long position = 0;
};
MemoryFile file;

int memory_seek(long offset) {
  if (offset < 0) return -1;
  file.position = offset;
  return 0;
}

int memory_read(void *buffer, int count) {
  if (count <= 0 || file.position >= file.size) return 0;
  const long n = std::min<long>(count, file.size - file.position);
  std::memcpy(buffer, file.data + file.position, static_cast<std::size_t>(n));
  file.position += n;
  return static_cast<int>(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  constexpr std::size_t minimum = 2048;
  constexpr std::size_t first_read = 4096;
  std::vector<unsigned char> image(std::max(size, minimum), 0);
  if (size > 0) std::memcpy(image.data(), data, size);
  std::copy(kiv::Signature.begin(), kiv::Signature.end(), image.begin());
  file = {image.data(), static_cast<long>(image.size()), 0};
  kiv::autorec_state = {};
  const auto head = static_cast<int>(std::min(image.size(), first_read));
  kiv::auto_OLE2Formats(image.data(), head, memory_seek, memory_read);
  return 0;
}
