// Signature bytes for the recognition tests: the per-recogniser samples and
// the compound files read from samples/.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace recognition_test {

using Data = std::vector<unsigned char>;

inline Data bytes(std::string_view text) { return Data(text.begin(), text.end()); }

inline Data truncated(Data d, std::size_t size) {
  d.resize(size);
  return d;
}

// A minimal positive sample of one recogniser, the code and variant it gives
// through the full sequence, and its nearest miss, which that recogniser refuses.
struct Sample {
  std::string label;
  std::string recogniser;
  Data positive;
  int code;
  int variant;
  Data negative;
};

inline std::ostream &operator<<(std::ostream &os, const Sample &s) { return os << s.label; }

// Samples for every recogniser, read from the samples folder.
std::vector<Sample> recogniser_samples();
// The compound file samples/compound/<name>.cfb.
Data compound_sample(const std::string &name);

}  // namespace recognition_test
