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

// `count` WordPerfect 4.x C0 functions separated by text, and a longer tail.
Data wp4_functions(int count, bool later_release) {
  Block b;
  for (int k = 0; k < count; ++k) b.append({0xC0, 1, 2, 3, 4, 0xC0}).append("ab");
  if (later_release) b.append({0xF2, 1, 2, 3, 0x00}).append("ab");
  b.append(std::string(160, 'a'));
  return b;
}

Data dot_commands(std::string_view lines) { return Block().append(lines).append(std::string(20, 'x')); }

}  // namespace

std::vector<Sample> recogniser_samples() {
  const std::string dir = ICF_RECOGNITION_SAMPLES_DIR;
  const auto read = [](const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return Data(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  std::vector<Sample> samples;
  std::ifstream index(dir + "/index.txt");
  std::string line;
  while (std::getline(index, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Sample s;
    fields >> s.label >> s.recogniser >> s.code >> s.variant;
    s.positive = read(dir + "/" + s.label + ".yes");
    s.negative = read(dir + "/" + s.label + ".no");
    samples.push_back(std::move(s));
  }
  EXPECT_FALSE(samples.empty()) << dir;
  return samples;
}

namespace {

std::vector<Sample> samples() { return recogniser_samples(); }

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

TEST_P(RecogniserSample, PositiveIsRecognisedThroughTheFullSequence) {
  const Sample &s = GetParam();
  int variant = -99;
  EXPECT_EQ(recognise(s.positive, 0, &variant), s.code);
  EXPECT_EQ(variant, s.variant);
}

TEST_P(RecogniserSample, RecogniserAnswersItsOwnCode) {
  const Sample &s = GetParam();
  EXPECT_EQ(run_recogniser(s.recogniser, s.positive), s.code);
}

TEST_P(RecogniserSample, NearestMissIsRefused) {
  const Sample &s = GetParam();
  EXPECT_EQ(run_recogniser(s.recogniser, s.negative), 0);
}

TEST_P(RecogniserSample, ExpectingTheFormatGivesTheSameAnswer) {
  const Sample &s = GetParam();
  int variant = -99;
  EXPECT_EQ(recognise(s.positive, s.code, &variant), s.code);
  EXPECT_EQ(variant, s.variant);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RecogniserSample, ::testing::ValuesIn(samples()),
                         [](const ::testing::TestParamInfo<Sample> &info) { return info.param.label; });

TEST(RecogniserCoverage, EveryRecogniserHasASample) {
  const std::vector<Sample> all = samples();
  for (const kiv::Recogniser &r : kiv::recogniser_list) {
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Sample &s) { return s.recogniser == r.name; }))
        << r.name;
  }
}

// Signatures that overlap: the fixed order decides.
TEST(RecogniserOrder, PcxHeaderIsNeverWordPerfect4) {
  Data d = Block(wp4_functions(12, false)).put(0, {0x0A, 5, 1, 8});
  int variant = -1;
  EXPECT_EQ(recognise(d, 0, &variant), 501);
  EXPECT_EQ(recognise(d, 6, &variant), 501) << "the expected format's own test refuses a PCX header";
  EXPECT_EQ(run_recogniser("auto_tst_wp4", d), 0);
  EXPECT_EQ(run_recogniser("auto_tst_wp4", wp4_functions(12, false)), 6);
}

TEST(RecogniserOrder, IconHeaderIsNeverWordPerfect4) {
  Data d = Block(wp4_functions(12, false)).put(0, {0, 0, 1, 0});
  EXPECT_EQ(run_recogniser("auto_tst_wp4", d), 0);
}

TEST(RecogniserOrder, WordPerfectGraphicIsNotADocument) {
  const Data graphic = Block(32).put(0, "\xFFWPC").put16(4, 16).put(8, {1, 22, 1, 0});
  int variant = -1;
  EXPECT_EQ(recognise(graphic, 7, &variant), 606);
  EXPECT_EQ(recognise(with_byte(graphic, 9, 10), 0, &variant), 7);
}

TEST(RecogniserOrder, Lotus123BeforeQuattro) {
  const Data d = Block(30).put(0, {0, 0, 2, 0, 4, 0x04});
  int variant = -1;
  EXPECT_EQ(recognise(d, 0, &variant), 20);
  EXPECT_EQ(run_recogniser("auto_tst_quattro", Block(30).put(0, {0, 0, 2, 0, 1, 0x10})), 801);
}

// The expected format's test runs first and may accept weaker evidence.
TEST(ExpectedFormat, FinalFormTextAcceptsTheBareMark) {
  const Data d = Block(10).put(0, {0x2B, 0xD2, 0x04, 0x85});
  int variant = -1;
  EXPECT_NE(recognise(d, 0, &variant), 32);
  EXPECT_EQ(recognise(d, 32, &variant), 32);
}

TEST(ExpectedFormat, WordPerfect4NeedsTwoFunctions) {
  const Data d = wp4_functions(2, false);
  int variant = -1;
  EXPECT_NE(recognise(d, 0, &variant), 6);
  EXPECT_EQ(recognise(d, 6, &variant), 6);
  EXPECT_NE(recognise(wp4_functions(1, false), 6, &variant), 6);
}

TEST(ExpectedFormat, WordStarNeedsFewerDotCommands) {
  const Data d = dot_commands(".pa\n.he head\n.fo foot\n.op\n");
  int variant = -1;
  EXPECT_EQ(recognise(d, 0, &variant), 1);
  EXPECT_EQ(recognise(d, 4, &variant), 4);
  EXPECT_EQ(variant, 0);
}

TEST(ExpectedFormat, FailingExpectedTestStillRunsTheSequence) {
  int variant = -1;
  EXPECT_EQ(recognise(Block(16).put(0, "GIF89a"), 19, &variant), 512);
  EXPECT_EQ(recognise(Block(16).put(0, "GIF89a"), 12345, &variant), 512);
}

TEST(ExpectedFormat, EscapeSequenceVariantIsNotReportedWhenItFails) {
  // The escape-sequence test leaves -1 behind; a later match without a variant of
  // its own must not report it.
  const Data d = Block(21).put(2, {0xD3, 0xA8, 0xA8, 0}).put(18, {0x05, 0x18});
  int variant = -1;
  EXPECT_EQ(recognise(d, 18, &variant), 623);
  EXPECT_EQ(variant, 0);
}

TEST(BlockDriver, NotRecognisedGivesVariantZero) {
  int variant = -1;
  EXPECT_EQ(recognise(Block(400).put(0, {0x01, 0xFF, 0x02, 0xFE}).resize(400, 0x80), 0, &variant), 0);
  EXPECT_EQ(variant, 0);
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
