// icf2html --isolate at its limits: a child stopped at the time or memory
// limit or after a crash. (What a command line shows is in the command cases.)
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/fake_host.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

using test_support::read_file;
using test_support::run_tool;
using test_support::ToolRun;
using test_support::write_file;

const std::string tools = ICF_TOOLS_DIR;

// The address-space limit does not suit a sanitized build, which reserves
// terabytes of shadow memory: such builds run without one.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
const std::string memory = sanitized ? " --memory 0" : "";

// A stream of a billion NUL bytes: a sparse file that costs nothing to make
// and keeps a converter busy far beyond a one-second limit.
constexpr long long long_stream = 1500LL << 20;

class Isolation : public testing::Test {
 protected:
  test_support::TempDir dir;
  std::string stream(const std::string &notation_text, const std::string &name) {
    write_file(dir.file(name), test_support::assemble(notation_text));
    return dir.file(name);
  }
  std::string endless_stream() {
    const std::string name = dir.file("endless.icf");
    std::ofstream{name};
    std::filesystem::resize_file(name, static_cast<std::uintmax_t>(long_stream));
    return name;
  }
  ToolRun isolate(const std::string &arguments) { return run_tool(tools + "/icf2html --isolate" + memory + " " + arguments); }
};

TEST_F(Isolation, AChildThatRunsAwayIsStoppedAtTheTimeLimit) {
  const std::string input = endless_stream();
  for (const std::string route : {"", " --queue"}) {
    const auto start = std::chrono::steady_clock::now();
    const ToolRun r = isolate("--timeout 1" + route + " " + input + " " + dir.file("out.html"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << route;
    EXPECT_EQ(r.status, 3) << route;
    EXPECT_NE(r.output.find("time limit of 1 s"), std::string::npos) << r.output;
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"endless.icf"})) << route;
  }
}

TEST_F(Isolation, AChildWithoutMemoryEndsWithTheMemoryLimit) {
  if (sanitized) GTEST_SKIP() << "a sanitized child needs its shadow memory";
  // Sixty notes each want a buffer of their own.
  std::string notes;
  for (int i = 1; i <= 60; ++i) notes += "t{FTN " + std::to_string(i) + "|}" + std::string(100, 'n') + "{EFN}";
  const std::string input = stream(notes, "doc.icf");
  const ToolRun r = run_tool(tools + "/icf2html --isolate --memory 1 --timeout 20 " + input + " " + dir.file("out.html"));
  EXPECT_EQ(r.status, 4) << r.output;
  EXPECT_NE(r.output.find("memory limit of 1 MiB"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.html")));
}

TEST_F(Isolation, AChildThatCrashesIsReportedWithItsSignal) {
  const std::string input = endless_stream();
  // The controller runs in the background; its child is made to crash once
  // its trace shows it converting, so the library's fault handler is in place.
  const std::string log = dir.file("log.txt");
  const std::string trace = dir.file("trace.txt");
  test_support::StartIn streams;
  streams.stderr_file = log;
  const pid_t controller = test_support::start_program(
      {tools + "/icf2html", "--isolate", "--memory", sanitized ? "0" : "1024", "--timeout", "600", "--trace", trace,
       input, dir.file("out.html")},
      streams);
  ASSERT_NE(controller, -1);
  pid_t child = -1;
  const std::string children = "/proc/" + std::to_string(controller) + "/task/" + std::to_string(controller) + "/children";
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  while (std::chrono::steady_clock::now() < give_up &&
         (!std::filesystem::exists(trace) || std::filesystem::file_size(trace) == 0))
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::ifstream{children} >> child;
  ASSERT_GT(child, 0);
  kill(child, SIGSEGV);
  EXPECT_EQ(test_support::wait_program(controller), 8);
  EXPECT_EQ(read_file(log), "icf2html: " + input + ": the converter crashed (a memory, bus or arithmetic fault)\n");
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"endless.icf", "log.txt", "trace.txt"}));
}

}  // namespace
