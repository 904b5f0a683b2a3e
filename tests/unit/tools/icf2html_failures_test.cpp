// icf2html when things go wrong: a failed or interrupted conversion leaves
// OUTPUT exactly as it was, with its permissions; progress is drawn on a
// terminal only. (Failures that a command line shows are command cases.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

namespace fs = std::filesystem;
using test_support::read_file;
using test_support::write_file;

const std::string program = std::string(ICF_TOOLS_DIR) + "/icf2html";

class Icf2htmlFailures : public testing::Test {
 protected:
  test_support::TempDir dir;

  // Starts icf2html in the folder: standard output and error go to files
  // there (or standard error to the descriptor given).
  pid_t start(const std::vector<std::string> &arguments, int stderr_fd = -1) {
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const pid_t pid = test_support::start_program(
        words, {dir.path().string(), dir.file(".stdout"), dir.file(".stderr"), stderr_fd, true});
    EXPECT_NE(pid, -1);
    return pid;
  }
  int run(const std::vector<std::string> &arguments) { return test_support::wait_program(start(arguments)); }
  std::string err() { return read_file(dir.file(".stderr")); }
  std::string stream(const std::string &notation_text, const std::string &name) {
    write_file(dir.file(name), test_support::assemble(notation_text));
    return name;
  }
  // Everything in the folder but the captured streams.
  std::vector<std::string> files() {
    std::vector<std::string> names;
    for (const std::string &n : dir.listing())
      if (n != ".stdout" && n != ".stderr") names.push_back(n);
    return names;
  }
};

TEST_F(Icf2htmlFailures, FailedConversionKeepsThePreviousPageAndItsPermissions) {
  stream("good text", "good.icf");
  stream("bad | stream", "bad.icf");
  write_file(dir.file("page.html"), "the previous good page");
  fs::permissions(dir.file("page.html"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const auto before = files();
  EXPECT_EQ(run({"bad.icf", "page.html"}), 1);
  EXPECT_EQ(read_file(dir.file("page.html")), "the previous good page");
  EXPECT_EQ(files(), before);
  EXPECT_EQ(run({"bad.icf", "absent.html"}), 1);
  EXPECT_EQ(files(), before);  // absent stays absent, nothing stray beside it

  // On success the page is the library's own conversion to that name, and
  // keeps the permissions of the page it replaced.
  EXPECT_EQ(run({"good.icf", "page.html"}), 0) << err();
  const std::string converted = read_file(dir.file("page.html"));
  EXPECT_EQ(fs::status(dir.file("page.html")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::copy_file(dir.file("good.icf"), dir.file("copy.icf"));
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());
  EXPECT_EQ(test_support::convert_names("page.html", "copy.icf", "5", {"UNTRUSTED"}), 0);
  fs::current_path(previous);
  EXPECT_EQ(read_file(dir.file("page.html")), converted);
}

TEST_F(Icf2htmlFailures, InterruptedConversionRemovesWhatItMadeAndEndsWith130) {
  // The converter reads its stream from a FIFO that never ends, so the signal
  // arrives while it converts.
  const std::string fifo = dir.file("endless");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  stream("unused", "in.icf");
  for (const bool existed : {true, false}) {
    if (existed) write_file(dir.file("page.html"), "the previous good page");
    const auto before = files();
    const pid_t cli = start({"-o", "T=" + fifo, "in.icf", "page.html"});
    const int feed = open(fifo.c_str(), O_WRONLY);
    ASSERT_EQ(write(feed, "some text ", 10), 10);
    usleep(200000);
    kill(cli, SIGINT);
    EXPECT_EQ(test_support::wait_program(cli), 130);
    close(feed);
    EXPECT_EQ(files(), before);
    if (existed) {
      EXPECT_EQ(read_file(dir.file("page.html")), "the previous good page");
    }
    fs::remove(dir.file("page.html"));
  }
}

// On a terminal the bar is drawn there, to its end, and never in the page.
TEST_F(Icf2htmlFailures, ProgressIsDrawnOnATerminal) {
  stream("text " + std::string(20000, 'x'), "in.icf");
  int terminal = -1, device = -1;
  ASSERT_EQ(openpty(&terminal, &device, nullptr, nullptr, nullptr), 0);
  const pid_t cli = start({"--progress", "in.icf", "page.html"}, device);
  close(device);
  std::string drawn;
  char chunk[256];
  for (ssize_t n; (n = read(terminal, chunk, sizeof chunk)) > 0;) drawn.append(chunk, static_cast<std::size_t>(n));
  EXPECT_EQ(test_support::wait_program(cli), 0);
  close(terminal);
  EXPECT_NE(drawn.find("[" + std::string(50, '#') + "]"), std::string::npos) << drawn;
  EXPECT_EQ(read_file(dir.file("page.html")).find("##"), std::string::npos);
}

}  // namespace
