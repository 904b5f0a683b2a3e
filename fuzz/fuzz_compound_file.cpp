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
#include "support/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  constexpr std::size_t minimum = 2048;
  constexpr std::size_t first_read = 4096;
  auto &file = test_support::memory_file;
  file = {std::vector<unsigned char>(std::max(size, minimum), 0), 0, 0};
  if (size > 0) std::memcpy(file.bytes.data(), data, size);
  std::copy(kiv::Signature.begin(), kiv::Signature.end(), file.bytes.begin());
  kiv::autorec_state = {};
  const auto head = static_cast<int>(std::min(file.bytes.size(), first_read));
  kiv::auto_OLE2Formats(file.bytes.data(), head, test_support::memory_seek, test_support::memory_read);
  return 0;
}
