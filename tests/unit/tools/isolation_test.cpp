// icf2html --isolate as a user runs it: the same page as without isolation,
// nothing printed, OUTPUT untouched after any failure, files outside the
// conversion refused, and a child stopped at its limits or after a crash.
#include <signal.h>
#include <sys/stat.h>
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

// Over either route an isolated conversion gives what a plain one gives (the
// same page, exit status and line, and the same standard output)
// for streams and for documents the reader program reads first, also when the
// converter ends with its warning flag (raised by a preloaded entry point),
// and it leaves the input and no private folder.
TEST_F(Isolation, AgreesWithAPlainConversion) {
  write_file(dir.file("a.rtf"), "{\\rtf1{\\info{\\title Tides}}{\\b Bold} caf\\'e9 \\u945? end\\par}");
  const std::string stream_input = stream("Title{BBT}bold{EBT} & <more>{HNL}{FTN 1|}a note{EFN}end", "doc.icf");
  const std::string warn = std::string("LD_PRELOAD=") + ICF_WARNING_FAKE +
                           " ASAN_OPTIONS=$ASAN_OPTIONS:verify_asan_link_order=0 ";
  struct Case {
    std::string input, environment;
    int status;
  };
  const std::string page = dir.file("page.html");
  for (const Case &c : {Case{stream_input, "", 0}, Case{dir.file("a.rtf"), "", 0}, Case{stream_input, warn, 5},
                        Case{dir.file("a.rtf"), warn, 5}}) {
    const std::string plain_run = c.environment + tools + "/icf2html -l 3 " + c.input;
    const ToolRun plain = run_tool(plain_run + " " + page);
    ASSERT_EQ(plain.status, c.status) << plain.output;
    const std::string plain_page = read_file(page);
    const bool document = c.input == dir.file("a.rtf");
    const std::string plain_stdout = run_tool(plain_run + " -").output;
    if (document) {
      EXPECT_NE(plain_page.find("Tides"), std::string::npos);
    }
    for (const std::string route : {"", " --queue"}) {
      const std::string isolated = c.environment + tools + "/icf2html -l 3 --isolate" + memory + route + " " + c.input;
      std::filesystem::remove(page);
      const ToolRun r = run_tool(isolated + " " + page);
      EXPECT_EQ(r.status, c.status) << c.input << route << "\n" << r.output;
      EXPECT_EQ(r.output, c.status == 0 ? "" : plain.output) << c.input << route;
      EXPECT_EQ(read_file(page), plain_page) << c.input << route;
      EXPECT_EQ(run_tool(isolated + " -").output, plain_stdout) << c.input << route;
    }
    std::filesystem::remove(page);
  }
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"a.rtf", "doc.icf"}));
}

TEST_F(Isolation, WritesThePipeTraceOnlyWhenAsked) {
  const std::string input = stream("text", "doc.icf");
  // --timeout 0 turns the time limit off: it must not end the conversion at once.
  const ToolRun r = isolate("--timeout 0 --trace " + dir.file("trace.txt") + " " + input + " " + dir.file("doc.html"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "");
  const std::string trace = read_file(dir.file("trace.txt"));
  EXPECT_EQ(trace.rfind("PIOopen: in_pipe: ", 0), 0u) << trace;
  EXPECT_NE(trace.find("command:    END_OF_FILE"), std::string::npos);
}

TEST_F(Isolation, FailuresLeaveOutputAsItWasAndSayWhy) {
  const std::string bad = stream("a|b", "bad.icf");
  const std::string good = stream("text", "good.icf");
  write_file(dir.file("out.html"), "the user's page");
  chmod(dir.file("out.html").c_str(), 0640);
  const auto mode_of = [](const std::string &name) {
    struct stat info{};
    return stat(name.c_str(), &info) == 0 ? info.st_mode & 07777 : 0u;
  };
  struct Case {
    std::string arguments;
    int status;
    std::string says;
  };
  const std::vector<Case> cases = {
      {bad + " " + dir.file("out.html"), 1, "not a well-formed intermediate code stream"},
      {"-o PE=" + dir.file("elsewhere.lst") + " -o PE " + good + " " + dir.file("out.html"), 6,
       dir.file("elsewhere.lst") + ": refused"},
      {"-o C=" + dir.file("settings.cfg") + " " + good + " " + dir.file("out.html"), 6, "settings.cfg: refused"},
      {dir.file("missing.icf") + " " + dir.file("out.html"), 1, "missing.icf: the input cannot be read"},
  };
  write_file(dir.file("settings.cfg"), "N\n");
  for (const Case &c : cases) {
    const ToolRun r = isolate(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    EXPECT_EQ(read_file(dir.file("out.html")), "the user's page");
    EXPECT_EQ(mode_of(dir.file("out.html")), 0640u);
  }
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"bad.icf", "good.icf", "out.html", "settings.cfg"}));
  // A page that replaces OUTPUT keeps its permissions, as in a plain conversion.
  EXPECT_EQ(isolate(good + " " + dir.file("out.html")).status, 0);
  EXPECT_EQ(mode_of(dir.file("out.html")), 0640u);
}

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
