// The icf-identify command: one line per file, the description or the numbers
// only, and a non-zero exit status when a file cannot be opened or read.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace recognition_test {
namespace {

struct ToolRun {
  std::string output;
  int status = -1;
};

std::string identify_program() { return std::string(ICF_TOOLS_DIR) + "/icf-identify"; }

ToolRun run(const std::string &arguments) {
  ToolRun r;
  FILE *pipe = ::popen((identify_program() + " " + arguments + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return r;
  std::array<char, 512> chunk{};
  std::size_t n = 0;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) r.output.append(chunk.data(), n);
  const int status = ::pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class IdentifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(identify_program())) GTEST_SKIP() << "icf-identify is not built";
    test_support::write_file(dir_.file("a.gif"), "GIF89a and more bytes");
    test_support::write_file(dir_.file("b.txt"), "plain words\nand lines\n");
    test_support::write_file(dir_.file("empty"), "");
  }
  std::string quoted(const std::string &name) const {
    std::string q(1, '\'');
    q.append(dir_.file(name)).push_back('\'');
    return q;
  }
  test_support::TempDir dir_;
};

TEST_F(IdentifyTest, DescribesEachFile) {
  const ToolRun r = run(quoted("a.gif") + " " + quoted("b.txt"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, dir_.file("a.gif") + ": 512/0 GIF image\n" + dir_.file("b.txt") + ": 1/0 plain text (ASCII)\n");
}

TEST_F(IdentifyTest, CodeOptionGivesTheNumbersOnly) {
  const ToolRun r = run("--code " + quoted("a.gif"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, dir_.file("a.gif") + ": 512/0\n");
}

TEST_F(IdentifyTest, UnreadableFilesAreReportedAndFailTheRun) {
  const ToolRun r = run(quoted("missing") + " " + quoted("empty") + " " + quoted("a.gif"));
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.output, dir_.file("missing") + ": cannot open\n" + dir_.file("empty") + ": cannot read\n" +
                          dir_.file("a.gif") + ": 512/0 GIF image\n");
}

}  // namespace
}  // namespace recognition_test
