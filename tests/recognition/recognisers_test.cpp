// Every recogniser against a minimal positive sample, recognised through the full
// sequence (so no earlier recogniser may take it), and against its nearest miss,
// which the recogniser itself must refuse; the samples are files in samples/,
// listed in its index. Then the order between overlapping signatures.
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <icf2html.h>

#include "recognition/autorec.h"
#include "recognition/recogniser_list.h"
#include "recognition_samples.h"

namespace recognition_test {
namespace {

Data read_sample(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return Data(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

Data compound_sample(const std::string &name) {
  return read_sample(std::string(ICF_RECOGNITION_SAMPLES_DIR) + "/compound/" + name + ".cfb");
}

std::vector<Sample> recogniser_samples() {
  const std::string dir = ICF_RECOGNITION_SAMPLES_DIR;
  std::vector<Sample> samples;
  std::ifstream index(dir + "/index.txt");
  std::string line;
  while (std::getline(index, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Sample s;
    fields >> s.label >> s.recogniser >> s.code >> s.variant;
    s.positive = read_sample(dir + "/" + s.label + ".yes");
    s.negative = read_sample(dir + "/" + s.label + ".no");
    samples.push_back(std::move(s));
  }
  EXPECT_FALSE(samples.empty()) << dir;
  return samples;
}

namespace {

// Runs one recogniser directly over data, as the driver would.
int run_recogniser(const std::string &name, const Data &data, int minor = 0) {
  const auto *row = std::find_if(kiv::recogniser_list.begin(), kiv::recogniser_list.end(),
                                 [&](const kiv::Recogniser &r) { return r.name == name; });
  if (row == kiv::recogniser_list.end()) {
    ADD_FAILURE() << "no recogniser " << name;
    return -100;
  }
  Data storage(std::max<std::size_t>(data.size(), 4000), 0);
  std::copy(data.begin(), data.end(), storage.begin());
  kiv::autorec_state = {};
  kiv::autorec_state.bufr = storage.data();
  kiv::autorec_state.len = static_cast<std::int32_t>(data.size());
  kiv::autorec_state.MinorVal = minor;
  const int result = row->test();
  kiv::autorec_state = {};
  return result;
}

int recognise(const Data &data, int expected, int *variant) {
  return AutoRecBlock(data.data(), static_cast<int>(data.size()), expected, variant);
}

class RecogniserSample : public ::testing::TestWithParam<Sample> {};

// The full sequence gives the sample's code and variant, whether or not the
// format is expected; the recogniser alone answers its code for the sample
// and refuses the nearest miss.
TEST_P(RecogniserSample, IsRecognisedAndItsNearestMissRefused) {
  const Sample &s = GetParam();
  for (const int expected : {0, s.code}) {
    int variant = -99;
    EXPECT_EQ(recognise(s.positive, expected, &variant), s.code) << "expecting " << expected;
    EXPECT_EQ(variant, s.variant) << "expecting " << expected;
  }
  EXPECT_EQ(run_recogniser(s.recogniser, s.positive), s.code);
  EXPECT_EQ(run_recogniser(s.recogniser, s.negative), 0);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RecogniserSample, ::testing::ValuesIn(recogniser_samples()),
                         [](const ::testing::TestParamInfo<Sample> &info) { return info.param.label; });

TEST(RecogniserCoverage, EveryRecogniserHasASample) {
  const std::vector<Sample> all = recogniser_samples();
  for (const kiv::Recogniser &r : kiv::recogniser_list) {
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Sample &s) { return s.recogniser == r.name; }))
        << r.name;
  }
}

// Overlapping signatures and the expected format, listed in samples/order.
TEST(RecogniserOrder, AnswersOfTheListedFiles) {
  const std::string dir = std::string(ICF_RECOGNITION_SAMPLES_DIR) + "/order/";
  std::ifstream index(dir + "index.txt");
  int lines = 0;
  for (std::string line; std::getline(index, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::string name, asked, answer;
    int expected_variant = -1;
    std::istringstream(line) >> name >> asked >> answer >> expected_variant;
    const Data data = read_sample(dir + name + ".bin");
    int variant = -99;
    const int got = asked.rfind("auto_tst_", 0) == 0 ? run_recogniser(asked, data)
                                                      : recognise(data, std::stoi(asked), &variant);
    if (answer[0] == '!') {
      EXPECT_NE(got, std::stoi(answer.substr(1))) << line;
    } else {
      EXPECT_EQ(got, std::stoi(answer)) << line;
    }
    if (expected_variant >= 0) {
      EXPECT_EQ(variant, expected_variant) << line;
    }
    ++lines;
  }
  EXPECT_GT(lines, 15);
}

TEST(BlockDriver, EmptyBlockIsNothingRead) {
  int variant = 7;
  EXPECT_EQ(AutoRecBlock(nullptr, 10, 0, &variant), -2);
  const unsigned char byte = 'a';
  EXPECT_EQ(AutoRecBlock(&byte, 0, 0, &variant), -2);
}

TEST(BlockDriver, LargeBlockIsReadWithinItsLength) {
  // A block longer than the working minimum: tests near its end must stay inside.
  Data d(70000, 'a');
  for (std::size_t k = 80; k < d.size(); k += 81) d[k] = '\n';
  int variant = -1;
  EXPECT_EQ(recognise(d, 0, &variant), 1);
  d.back() = 0xAE;
  d[d.size() - 2] = 0x1B;
  EXPECT_EQ(recognise(d, 0, &variant), 1);
}

}  // namespace
}  // namespace recognition_test
