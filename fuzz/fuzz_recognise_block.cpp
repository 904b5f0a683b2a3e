// Fuzz target: block recognition. The first byte chooses the expected format
// (0: none, else a row of the expected-format table); the rest is the block.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include <icf2html.h>

#include "recognition/recogniser_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t choice = data[0];
  int expected = 0;
  if (choice != 0 && choice <= kiv::expected_recognisers.size()) {
    expected = kiv::expected_recognisers[choice - 1].format;
  }
  const auto length = static_cast<int>(std::min<std::size_t>(size - 1, std::size_t{1} << 20));
  int variant = 0;
  AutoRecBlock(data + 1, length, expected, &variant);
  return 0;
}
