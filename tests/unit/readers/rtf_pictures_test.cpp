// Pictures of RTF documents. The reader program runs as icf2html runs it, from
// a folder that holds converter scripts which copy the picture (so a converted
// picture's data is its own bytes, under format 0) for PNG and JPEG only; a
// metafile then has no converter and goes in unconverted. A reader ended by a
// signal leaves no files and no converter behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "stream_notation.h"
#include "support/case_file.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"
#include "unit/objects/fake_converters.h"

namespace {

using test_support::read_file;
using test_support::write_file;

const std::string tools = ICF_TOOLS_DIR;

class RtfPictureStreams : public testing::TestWithParam<test_support::ConversionCase> {
 protected:
  test_support::TempDir dir;
};

TEST_P(RtfPictureStreams, WriteTheExpectedCodesAndLeaveNoFiles) {
  std::filesystem::create_symlink(tools + "/w019funx", dir.file("w019funx"));
  test_support::install_converter(dir, "g504funx", test_support::copy_in);
  test_support::install_converter(dir, "g521funx", test_support::copy_in);
  test_support::install_converter(dir, "g513funx", test_support::copy_in);
  write_file(dir.file("in.rtf"), GetParam().input);
  const auto run = test_support::run_tool(dir.file("w019funx") + " " + dir.file("in.rtf") + " -t=" +
                                          dir.file("out.icf") + " -v0 -n");
  ASSERT_EQ(run.status, 0) << run.output;
  std::string stream = notation::to_notation(read_file(dir.file("out.icf")));
  std::erase(stream, '\n');
  EXPECT_EQ(stream, GetParam().expected);
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"g504funx", "g513funx", "g521funx", "in.rtf", "out.icf", "w019funx"}));
}

INSTANTIATE_TEST_SUITE_P(Documents, RtfPictureStreams,
                         testing::ValuesIn(test_support::load_stream_cases(ICF_TEST_DATA_DIR "/rtf_pictures.case")),
                         [](const auto &info) { return info.param.name; });

// Waits up to five seconds for done() to hold; whether it does.
template <typename Done>
bool wait_until(Done done) {
  for (int k = 0; k < 500; ++k) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// A reader ended by SIGTERM, SIGINT or SIGHUP while it writes a picture's
// temporary file removes it and the stream file, and dies of the signal. The
// RTF comes down a FIFO that stops in the middle of the picture's data.
TEST(RtfPictureSignals, AKilledReaderLeavesNoFiles) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    test_support::TempDir dir;
    test_support::install_converter(dir, "g504funx", test_support::copy_in);
    const std::string fifo = dir.file("in.rtf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const pid_t pid = test_support::start_program({tools + "/w019funx", fifo, "-t=" + dir.file("out.icf")});
    ASSERT_NE(pid, -1);
    const int fd = open(fifo.c_str(), O_WRONLY);
    ASSERT_NE(fd, -1);
    const std::string start = "{\\rtf1 a{\\pict\\pngblip " + std::string(20000, '7');
    ASSERT_EQ(write(fd, start.data(), start.size()), static_cast<ssize_t>(start.size()));
    const auto temporary_exists = [&dir] {
      for (const std::string &name : dir.listing())
        if (name.starts_with("KV")) return true;
      return false;
    };
    EXPECT_TRUE(wait_until(temporary_exists)) << "the picture's temporary file was not made";
    kill(pid, signal);
    const int status = test_support::wait_program(pid);
    close(fd);
    EXPECT_EQ(status, 256 + signal);
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"g504funx", "in.rtf"})) << "signal " << signal;
  }
}

// Whether a process runs (a zombie has ended).
bool running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const auto close = line.rfind(") ");
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z' && line[close + 2] != 'X';
}

// A reader ended by a signal while a converter program it started runs ends
// the converter too, before it removes the files: the converter, which would
// write its whole output a few seconds later, writes nothing after the
// reader's end, and the extents file in TMPDIR goes as well.
TEST(RtfPictureSignals, AKilledReaderStopsItsConverter) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    test_support::TempDir dir, side;
    std::filesystem::create_symlink(tools + "/w019funx", dir.file("w019funx"));
    test_support::install_converter(dir, "g504funx",
                                    "out=\"${2#-t=}\"; printf partial > \"$out\"; echo $$ > \"$TMPDIR/pid.new\"\n"
                                    "mv \"$TMPDIR/pid.new\" \"$TMPDIR/pid\"; sleep 3 >/dev/null 2>&1; printf whole > \"$out\"");
    write_file(dir.file("in.rtf"), "{\\rtf1 a{\\pict\\pngblip 89504e470d0a1a0a}}");
    const char *saved = std::getenv("TMPDIR");
    const std::string saved_tmpdir = saved ? saved : "";
    setenv("TMPDIR", side.path().c_str(), 1);
    const pid_t pid = test_support::start_program({dir.file("w019funx"), dir.file("in.rtf"), "-t=" + dir.file("out.icf")});
    if (saved) setenv("TMPDIR", saved_tmpdir.c_str(), 1);
    else unsetenv("TMPDIR");
    ASSERT_NE(pid, -1);
    const std::string pid_file = side.file("pid");
    if (!wait_until([&pid_file] { return std::filesystem::exists(pid_file); })) {
      kill(pid, SIGKILL);
      test_support::wait_program(pid);
      FAIL() << "the converter did not start";
    }
    const pid_t converter = std::stoi(read_file(pid_file));
    kill(pid, signal);
    EXPECT_EQ(test_support::wait_program(pid), 256 + signal);
    EXPECT_TRUE(wait_until([converter] { return !running(converter); })) << "the converter still runs";
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"g504funx", "in.rtf", "w019funx"})) << "signal " << signal;
    EXPECT_EQ(side.listing(), (std::vector<std::string>{"pid"})) << "signal " << signal;
  }
}

}  // namespace
