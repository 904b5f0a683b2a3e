// Lookup in the table of recognisers run for an expected format.
#include "recognition/recogniser_list.h"

namespace kiv {

const ExpectedRecogniser *find_expected_recogniser(int format) {
  const auto *row = std::ranges::lower_bound(expected_recognisers, format, std::less{},
                                             &ExpectedRecogniser::format);
  return (row != expected_recognisers.end() && row->format == format) ? row : nullptr;
}

}  // namespace kiv
