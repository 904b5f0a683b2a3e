// Converter programs: names, arguments, exit statuses and the extents file.
#include "objects/graphic_converters.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <string>

#include "unit/objects/fake_converters.h"
#include "runtime/options.h"
#include "runtime/strings.h"
#include "support/stream_fixture.h"

namespace {

using test_support::install_converter;

struct NameCase {
  const char *sub_launch;
  const char *arg0;
  int format;
  int direction;
  const char *first;
  const char *second;
};

class ConverterNames : public test_support::StreamFixture, public testing::WithParamInterface<NameCase> {};

TEST_P(ConverterNames, FollowTheNamingRule) {
  const NameCase &c = GetParam();
  kiv::copy_bounded(kiv::settings.SubLaunchPath, sizeof kiv::settings.SubLaunchPath, c.sub_launch);
  kiv::settings.ARG0_BasePath = const_cast<char *>(c.arg0);
  char name[256];
  ASSERT_EQ(kiv::converter_program_name(c.format, c.direction, false, name, sizeof name), 0);
  EXPECT_STREQ(name, c.first);
  ASSERT_EQ(kiv::converter_program_name(c.format, c.direction, true, name, sizeof name), 0);
  EXPECT_STREQ(name, c.second);
  kiv::settings.ARG0_BasePath = nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConverterNames,
    testing::Values(NameCase{"", "/opt/conv/bin/filter", 512, 1, "/opt/conv/bin/g512tunx", "/opt/conv/bin/qtx512t"},
                    NameCase{"", "filter", 521, 1, "g521tunx", "qtx521t"},
                    NameCase{"", "/filter", 7, 0, "w007funx", "vtx07f"},
                    NameCase{"", nullptr, 700, 0, "w700funx", "vtx700f"},
                    NameCase{"", "a/b", 699, 0, "a/g699funx", "a/qtx699f"},
                    NameCase{"conv/", "/opt/x", 500, 2, "conv/g500tunx", "conv/qtx500t"},
                    NameCase{"dir", "/opt/x", 499, 0, "dirw499funx", "dirvtx499f"}));

class Converters : public test_support::StreamFixture {
 protected:
  void SetUp() override {
    StreamFixture::SetUp();
    kiv::copy_bounded(kiv::settings.SubLaunchPath, sizeof kiv::settings.SubLaunchPath, dir.path().string() + "/");
    input = dir.file("in.pic");
    output = dir.file("out.pic");
    test_support::write_file(input, "picture");
  }
  int run(int format, int direction, const char *variant = "3") {
    return kiv::ConvertGraphicFile(format, direction, input.c_str(), output.c_str(), variant);
  }
  std::string input, output;
};

TEST_F(Converters, ArgumentsNameTheForeignFileFirst) {
  install_converter(dir, "g513funx", "echo \"$@\" > \"" + dir.file("args") + "\"");
  install_converter(dir, "g521tunx", "echo \"$@\" > \"" + dir.file("args") + "\"");
  EXPECT_EQ(run(513, 0), 0);
  EXPECT_EQ(test_support::read_file(dir.file("args")), input + " -t=" + output + " -v3 -n\n");
  EXPECT_EQ(run(521, 1, "0"), 0);
  EXPECT_EQ(test_support::read_file(dir.file("args")), output + " -t=" + input + " -v0 -n\n");
}

TEST_F(Converters, StartWithSigpipeAtItsDefaultWhenTheHostIgnoresIt) {
  // The program writes its ignored-signal mask; SIGPIPE is bit 13 - 1.
  install_converter(dir, "g513funx", "awk '/^SigIgn/ {print $2}' /proc/$$/status > \"" + dir.file("ignored") + "\"");
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  EXPECT_EQ(run(513, 0), 0);
  std::signal(SIGPIPE, previous);
  const std::uint64_t ignored = std::stoull(test_support::read_file(dir.file("ignored")), nullptr, 16);
  EXPECT_EQ(ignored & (1u << (SIGPIPE - 1)), 0u);
}

TEST_F(Converters, TheSecondNameIsTriedWhenTheFirstIsMissing) {
  install_converter(dir, "qtx513f", "exit 0");
  EXPECT_EQ(run(513, 0), 0);
}

TEST_F(Converters, ExitStatusesComeBackAndFailuresAre255) {
  install_converter(dir, "g513funx", "exit 9");
  install_converter(dir, "g514funx", "exit 1");
  install_converter(dir, "g515funx", "kill -9 $$");
  EXPECT_EQ(run(513, 0), 9);
  EXPECT_EQ(run(514, 0), 1);
  EXPECT_EQ(run(515, 0), 255);  // ended by a signal: a failure, not success
  EXPECT_EQ(run(516, 0), 255);  // neither name exists
}

// What a converter may leave in the extents file, and what is read from it.
struct ExtentsCase {
  const char *name;
  const char *text;  // null: the converter wrote no file
  std::array<int, 2> extents;
};

class ExtentsFiles : public test_support::StreamFixture, public testing::WithParamInterface<ExtentsCase> {};

TEST_P(ExtentsFiles, AreReadOnceAndRemoved) {
  const ExtentsCase &c = GetParam();
  const std::string name = dir.file("extents");
  kiv::copy_bounded(kiv::graphic_converters.EnvFilename, sizeof kiv::graphic_converters.EnvFilename, name);
  if (c.text) test_support::write_file(name, c.text);
  kiv::graphic_converters.GraphicObjectExtents = {5, 5};  // from an earlier run
  EXPECT_EQ(kiv::SetGraphicsExtentsPointer(nullptr), 0);
  EXPECT_EQ(kiv::graphic_converters.GraphicObjectExtents, c.extents);
  EXPECT_FALSE(std::filesystem::exists(name));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ExtentsFiles,
    testing::Values(ExtentsCase{"two_lines", "300\n400\n", {300, 400}},
                    ExtentsCase{"signs_and_spaces", " \t-300 +400\r\n", {-300, 400}},
                    ExtentsCase{"the_32_bit_limits", "-2147483648\n2147483647\n", {INT32_MIN, INT32_MAX}},
                    ExtentsCase{"one_past_the_limit", "2147483648\n1\n", {0, 0}},
                    ExtentsCase{"far_past_the_limit", "1\n-99999999999999999999\n", {0, 0}},
                    ExtentsCase{"a_word", "wide\n", {0, 0}},
                    ExtentsCase{"letters_after_digits", "12x\n4\n", {0, 0}},
                    ExtentsCase{"one_value", "300\n", {0, 0}},
                    ExtentsCase{"three_values", "1\n2\n3\n", {0, 0}},
                    ExtentsCase{"longer_than_an_extents_file",
                                "                                                              1 2", {0, 0}},
                    ExtentsCase{"empty", "", {0, 0}},
                    ExtentsCase{"missing", nullptr, {0, 0}}),
    [](const testing::TestParamInfo<ExtentsCase> &info) { return std::string(info.param.name); });

TEST_F(Converters, ATimeLimitKillsAConverterThatRunsOn) {
  install_converter(dir, "g513funx", "exec sleep 30");
  kiv::settings.converter_time_limit = 1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run(513, 0), 255);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
