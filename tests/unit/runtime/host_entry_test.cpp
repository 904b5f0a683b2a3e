// The host's view of a conversion: exit codes, signal dispositions,
// independence of conversions, and the shutdown calls leaving nothing behind.
#include <icf2html.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

using test_support::ConversionSettings;
using test_support::convert_notation;
using test_support::TempDir;

const std::string sample =
    "{SSI s|a||k|||||||||||||||||Title|}Some text & more <text>{ZZZ 1|}"
    "{CMT a comment|}{FNI 0|1|4|}{SHD 6|80|FF|00|00|}\\xE9 end";

using test_support::convert_names;

TEST(HostEntry, SameBytesInOneProcessAsInAFreshOne) {
  TempDir dir;
  ConversionSettings quiet;
  quiet.options = {"CMD=TITLE=first"};
  const auto first = convert_notation(dir.path().string(), sample, quiet);
  const auto plain = convert_notation(dir.path().string(), sample);
  const auto again = convert_notation(dir.path().string(), sample);
  EXPECT_EQ(plain.html, again.html);
  EXPECT_NE(first.html, plain.html);  // the TITLE option of the first run does not linger
  EXPECT_NE(plain.html.find("<TITLE>Title</TITLE>"), std::string::npos);
}

void host_handler(int) {}

TEST(HostEntry, HostSignalDispositionsAreBackAfterTheCall) {
  struct sigaction mine{};
  mine.sa_handler = host_handler;
  sigemptyset(&mine.sa_mask);
  struct sigaction before_int{}, before_segv{};
  sigaction(SIGINT, &mine, &before_int);
  sigaction(SIGSEGV, nullptr, &before_segv);
  TempDir dir;
  convert_notation(dir.path().string(), "text");
  struct sigaction after_int{}, after_segv{};
  sigaction(SIGINT, nullptr, &after_int);
  sigaction(SIGSEGV, nullptr, &after_segv);
  EXPECT_EQ(after_int.sa_handler, host_handler);
  EXPECT_EQ(after_segv.sa_handler, before_segv.sa_handler);
  sigaction(SIGINT, &before_int, nullptr);
}

TEST(HostEntry, ConverterEntryCalledDirectlyEndsTheProcessWithTheCode) {
  TempDir dir;
  test_support::write_file(dir.file("in.icf"), "hello");
  const std::string target = dir.file("out.html");
  const std::string icf_word = "-t=" + dir.file("in.icf");
  const auto run_directly = [&] {
    std::string program = "prog", t = target, i = icf_word, v = "-v2", n = "N";
    char *args[] = {program.data(), t.data(), i.data(), v.data(), n.data(), nullptr};
    KIVMainEntry(5, args);
  };
  EXPECT_EXIT(run_directly(), testing::ExitedWithCode(0), "");
  EXPECT_NE(test_support::read_file(target).find("hello"), std::string::npos);
}

TEST(HostEntry, ShutdownCallsTwiceAreHarmless) {
  TempDir dir;
  convert_notation(dir.path().string(), "x");
  EXPECT_EQ(GlobalShutDown(), 0);
  EXPECT_EQ(GlobalShutDown(), 0);
  EXPECT_EQ(RemoveTempFiles(), 0);
  EXPECT_EQ(RemovePurgeableFiles(), 0);
  KIVFreeAll();
  KIVFreeAll();
}

}  // namespace
