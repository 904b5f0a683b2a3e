// The command-line tools as a user runs them, from cases kept as data: each
// case runs its commands in a fresh folder and checks their exit status, what
// they print and the files they leave (tests/data/tools/commands.case says how).
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include <icf2html.h>

#include "support/fake_host.h"
#include "support/script_cases.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

using test_support::bytes_of;
using test_support::read_file;

// A sanitized child reserves terabytes of shadow memory: it runs without an
// address-space limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

// The bytes of an expected text, with the library's version in place of @VERSION@.
std::string expected_of(const std::string &notation) {
  std::string text = bytes_of(notation);
  for (std::size_t at; (at = text.find("@VERSION@")) != std::string::npos;) text.replace(at, 9, ICF2HTML_VERSION);
  return text;
}

class CommandCases : public testing::TestWithParam<test_support::ScriptCase> {};

TEST_P(CommandCases, GiveTheirStatusOutputAndFiles) {
  test_support::TempDir dir;
  const std::string environment = "cd '" + dir.path().string() + "' && export PATH='" ICF_TOOLS_DIR "':\"$PATH\" " +
                                  "MEMORY='" + (sanitized ? "--memory 0" : "") + "' WARN='" ICF_WARNING_FAKE "' " +
                                  "SAMPLES='" ICF_RECOGNITION_SAMPLES_DIR "' && {\n";
  test_support::ToolRun last{-1, ""};
  for (const auto &[word, rest] : GetParam().steps) {
    SCOPED_TRACE(word + " " + rest.substr(0, 80));
    const std::string name = dir.file(test_support::words_of(rest + " .").front());
    const auto text = [&arguments = rest] { return expected_of(test_support::after_words(arguments, 1)); };
    if (word == "unsanitized") {
      if (sanitized) GTEST_SKIP() << "needs an address-space limit";
    } else if (word == "file") {
      test_support::write_file(name, text());
    } else if (word == "stream") {
      test_support::write_file(name, test_support::assemble(text()));
    } else if (word == "run") {
      const std::size_t arrow = rest.rfind(" -> ");
      if (arrow == std::string::npos) throw std::runtime_error("no status in: " + rest);
      last = test_support::run_tool(environment + rest.substr(0, arrow) + "\n}");
      EXPECT_EQ(last.status, std::stoi(rest.substr(arrow + 4))) << last.output;
    } else if (word == "output") {
      EXPECT_EQ(last.output, expected_of(rest));
    } else if (word == "output-has") {
      EXPECT_NE(last.output.find(expected_of(rest)), std::string::npos) << last.output;
    } else if (word == "output-starts") {
      EXPECT_EQ(last.output.rfind(expected_of(rest), 0), 0u) << last.output;
    } else if (word == "lines") {
      EXPECT_EQ(std::count(last.output.begin(), last.output.end(), '\n'), std::stol(rest)) << last.output;
    } else if (word == "content") {
      EXPECT_EQ(read_file(name), text());
    } else if (word == "has" || word == "lacks") {
      EXPECT_EQ(read_file(name).find(text()) != std::string::npos, word == "has") << read_file(name).substr(0, 2000);
    } else if (word == "starts") {
      EXPECT_EQ(read_file(name).rfind(text(), 0), 0u) << read_file(name).substr(0, 200);
    } else if (word == "body") {
      const std::string page = read_file(name);
      const std::size_t start = page.find("<BODY>\r\n"), end = page.find("</BODY>");
      ASSERT_TRUE(start < end && end != std::string::npos) << page;
      EXPECT_EQ(page.substr(start + 8, end - start - 8), text());
    } else if (word == "files") {
      EXPECT_EQ(dir.listing(), test_support::words_of(rest));
    } else {
      FAIL() << "no step " << word;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandCases,
                         testing::ValuesIn(test_support::load_script_cases(ICF_TEST_DATA_DIR "/tools/commands.case")),
                         [](const auto &info) { return info.param.name; });

}  // namespace
