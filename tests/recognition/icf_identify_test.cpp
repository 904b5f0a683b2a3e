// The icf-identify command as a user of file(1) runs it on the samples: one
// answer per file, the library's answer where its recognisers are sure, the
// command's own words for file kinds, common formats and Office documents in
// compound files. (Its other command lines are command cases.)
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace recognition_test {
namespace {

std::string quoted(const std::string &s) { return "'" + s + "'"; }

const std::string samples = std::string(ICF_RECOGNITION_SAMPLES_DIR) + "/identify/";

class IdentifyTest : public ::testing::Test {
 protected:
  // Standard input is the bytes given; standard error stays out of the output.
  test_support::ToolRun run(const std::string &arguments, const std::string &input = "") {
    test_support::write_file(dir_.file("stdin"), input);
    return test_support::run_tool("(" + std::string(ICF_TOOLS_DIR) + "/icf-identify " + arguments + " <" +
                                  quoted(dir_.file("stdin")) + " 2>/dev/null)");
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
    test_support::write_file(dir_.file("sample"), bytes);
    const std::string file = quoted(dir_.file("sample"));
    test_support::ToolRun r = run("-b " + file);
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

}  // namespace
}  // namespace recognition_test
