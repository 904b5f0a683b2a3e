// The icf-identify command as a user of file(1) runs it: one answer per file,
// the library's answer where its recognisers are sure, the command's own
// words for file kinds, common formats and Office documents in compound
// files, and errors with their cause on standard error.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <icf2html.h>

#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace recognition_test {
namespace {

struct ToolRun {
  std::string output;
  std::string errors;
  int status = -1;
};

std::string identify_program() { return std::string(ICF_TOOLS_DIR) + "/icf-identify"; }

std::string quoted(const std::string &s) { return "'" + s + "'"; }

const std::string samples = std::string(ICF_RECOGNITION_SAMPLES_DIR) + "/identify/";

class IdentifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(identify_program())) GTEST_SKIP() << "icf-identify is not built";
  }
  std::string put(const std::string &name, const std::string &bytes) {
    test_support::write_file(dir_.file(name), bytes);
    return quoted(dir_.file(name));
  }
  // Standard error goes to a file of its own, inside the command run_tool gives.
  ToolRun run(const std::string &arguments, const std::string &input = "") {
    test_support::write_file(dir_.file("stdin"), input);
    const test_support::ToolRun r = test_support::run_tool("(" + identify_program() + " " + arguments + " <" +
                                                           quoted(dir_.file("stdin")) + " 2>" + quoted(dir_.file("stderr")) + ")");
    return {r.output, test_support::read_file(dir_.file("stderr")), r.status};
  }
  test_support::TempDir dir_;
};

// Files in samples/identify, each with the answer a user of file(1) expects.
TEST_F(IdentifyTest, NamesKindsAndFormats) {
  std::ifstream index(samples + "index.txt");
  int files = 0;
  for (std::string line; std::getline(index, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t bar = line.find('|'), second = line.rfind('|');
    const std::string name = line.substr(0, bar);
    const std::string description = line.substr(bar + 1, second - bar - 1), mime = line.substr(second + 1);
    const std::string bytes = test_support::read_file(samples + name);
    const std::string file = put("sample", bytes);
    ToolRun r = run("-b " + file);
    EXPECT_EQ(r.output, description + "\n") << name;
    EXPECT_EQ(r.status, 0) << name;
    r = run("--mime-type " + file);
    EXPECT_EQ(r.output, dir_.file("sample") + ": " + mime + "\n") << name;
    // Standard input gives the same answer from the same bytes.
    EXPECT_EQ(run("-b -", bytes).output, description + "\n") << name;
    ++files;
  }
  EXPECT_GT(files, 10);
  EXPECT_EQ(run("-b " + quoted(dir_.path().string())).output, "directory\n");
}

// A compound file without the Office streams keeps the library's answer, and
// --code shows the library's numbers whatever the words say.
TEST_F(IdentifyTest, CodeShowsTheLibraryAnswer) {
  const std::string gif = put("a.gif", "GIF89a and more bytes");
  EXPECT_EQ(run("--code " + gif).output, dir_.file("a.gif") + ": 512/0\n");
  const std::string other = put("other", test_support::read_file(samples + "other_compound"));
  EXPECT_NE(run("-b " + other).output.find("compound"), std::string::npos);
}

TEST_F(IdentifyTest, NamesFromAListAndStandardInput) {
  put("a.gif", "GIF89a and more bytes");
  put("b.txt", "plain words\n");
  test_support::write_file(dir_.file("names"), dir_.file("a.gif") + "\n\n" + dir_.file("b.txt") + "\n");
  const std::string expected = dir_.file("a.gif") + ": GIF image\n" + dir_.file("b.txt") + ": plain text (ASCII)\n";
  EXPECT_EQ(run("-f " + quoted(dir_.file("names"))).output, expected);
  EXPECT_EQ(run("-f -", test_support::read_file(dir_.file("names"))).output, expected);
}

// Errors go to standard error with their cause; the other files are still
// answered and only an unreadable file fails the run.
TEST_F(IdentifyTest, ErrorsNameTheirCause) {
  const std::string gif = put("a.gif", "GIF89a and more bytes");
  ToolRun r = run(quoted(dir_.file("missing")) + " " + gif);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, dir_.file("a.gif") + ": GIF image\n");
  EXPECT_EQ(r.errors, "icf-identify: " + dir_.file("missing") + ": cannot open (No such file or directory)\n");

  r = run("-f " + quoted(dir_.file("no-list")));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("no-list"), std::string::npos);

  r = run("--bogus " + gif);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, "");
  EXPECT_NE(r.errors.find("usage: icf-identify"), std::string::npos);
  EXPECT_EQ(run("").status, 2);
}

TEST_F(IdentifyTest, HelpAndVersionAreNotFileNames) {
  ToolRun r = run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("usage: icf-identify", 0), 0u) << r.output;
  r = run("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("icf-identify " ICF2HTML_VERSION, 0), 0u) << r.output;
  // After "--" every word is a name.
  r = run("-- --help");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.errors.find("--help: cannot open"), std::string::npos) << r.errors;
}

}  // namespace
}  // namespace recognition_test
