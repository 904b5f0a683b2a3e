// Compound-file recognition over the files in samples/compound: each stream
// name and its refinement from the stream's first bytes, then damaged and
// hostile directories and chains, which must end with an answer and stay
// within the file and within a bounded number of reads.
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <icf2html.h>

#include "recognition/autorec.h"
#include "recognition/compound_recognition.h"
#include "recognition_samples.h"
#include "support/memory_file.h"

namespace recognition_test {
namespace {

using test_support::memory_file;

struct CompoundCase {
  std::string name;
  int code = 0;
  int variant = 0;
  int max_reads = 0;  // 0: no bound checked
};
std::ostream &operator<<(std::ostream &os, const CompoundCase &c) { return os << c.name; }

std::vector<CompoundCase> compound_cases() {
  std::ifstream index(std::string(ICF_RECOGNITION_SAMPLES_DIR) + "/compound/index.txt");
  std::vector<CompoundCase> cases;
  for (std::string line; std::getline(index, line);) {
    if (line.empty() || line[0] == '#') continue;
    CompoundCase c;
    std::istringstream(line) >> c.name >> c.code >> c.variant >> c.max_reads;
    cases.push_back(c);
  }
  EXPECT_FALSE(cases.empty());
  return cases;
}

class CompoundFile : public ::testing::TestWithParam<CompoundCase> {};

TEST_P(CompoundFile, AnswersWithinItsReads) {
  const CompoundCase &c = GetParam();
  const Data file = compound_sample(c.name);
  memory_file = {file, 0, 0};
  kiv::autorec_state = {};
  const int head = static_cast<int>(std::min<std::size_t>(file.size(), 4096));
  EXPECT_EQ(kiv::auto_OLE2Formats(file.data(), head, test_support::memory_seek, test_support::memory_read), c.code);
  if (c.code != 0) {
    EXPECT_EQ(kiv::autorec_state.ver, c.variant);
  }
  if (c.max_reads > 0) {
    EXPECT_LT(memory_file.reads, c.max_reads);
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, CompoundFile, ::testing::ValuesIn(compound_cases()),
                         [](const ::testing::TestParamInfo<CompoundCase> &info) { return info.param.name; });

}  // namespace
}  // namespace recognition_test
