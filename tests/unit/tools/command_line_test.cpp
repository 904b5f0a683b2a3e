// The command-line tools as a user runs them: icf2html converts through the
// shared object, reports failures in one line, and keeps the user's input.
#include <gtest/gtest.h>


#include <cstdio>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

using test_support::ToolRun;
ToolRun run(const std::string &command) { return test_support::run_tool(command); }

const std::string tools = ICF_TOOLS_DIR;

class CommandLine : public testing::Test {
 protected:
  test_support::TempDir dir;
  std::string asm_to_file(const std::string &notation_text, const std::string &name) {
    test_support::write_file(dir.file(name + ".txt"), notation_text);
    EXPECT_EQ(run(tools + "/icfasm " + dir.file(name + ".txt") + " " + dir.file(name)).status, 0);
    return dir.file(name);
  }
};

TEST_F(CommandLine, ConvertsAndKeepsTheInput) {
  const std::string input = asm_to_file("Hello & <world>", "doc.icf");
  const ToolRun r = run(tools + "/icf2html -l 0 " + input + " " + dir.file("doc.html"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(std::filesystem::exists(input));
  const std::string html = test_support::read_file(dir.file("doc.html"));
  EXPECT_EQ(html.rfind("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML//EN\">\r\n<HTML>\r\n", 0), 0u);
  EXPECT_NE(html.find("Hello &amp; &lt;world&gt;"), std::string::npos);
  // Nothing but the input, its notation and the output stays in the folder.
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"doc.html", "doc.icf", "doc.icf.txt"}));
}

TEST_F(CommandLine, WritesToStandardOutput) {
  const std::string input = asm_to_file("text", "doc.icf");
  const ToolRun r = run(tools + "/icf2html -l 2x " + input + " -");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3//EN\">\n<HTML>\n", 0), 0u) << r.output;
  EXPECT_NE(r.output.find("</HTML>\n"), std::string::npos);
}

TEST_F(CommandLine, FailuresNameTheCauseAndTheFile) {
  const std::string input = asm_to_file("a|b", "bad.icf");
  ToolRun r = run(tools + "/icf2html " + input + " " + dir.file("bad.html"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find(input), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("not a well-formed intermediate code stream"), std::string::npos) << r.output;

  r = run(tools + "/icf2html " + input + " " + dir.file("no/dir/out.html"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("cannot be created"), std::string::npos) << r.output;
  EXPECT_TRUE(std::filesystem::exists(input));

  r = run(tools + "/icf2html " + dir.file("missing.icf") + " " + dir.file("x.html"));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("missing.icf"), std::string::npos) << r.output;
  for (const std::string &name : dir.listing()) EXPECT_EQ(name.find("icf2html-"), std::string::npos) << name;
}

TEST_F(CommandLine, HelpAndUsage) {
  EXPECT_EQ(run(tools + "/icf2html --help").status, 0);
  EXPECT_NE(run(tools + "/icf2html --help").output.find("usage: icf2html"), std::string::npos);
  EXPECT_EQ(run(tools + "/icf2html only-one").status, 2);
  EXPECT_EQ(run(tools + "/icfasm --help").status, 0);
}

TEST_F(CommandLine, DumpAndAssembleAreInverse) {
  const std::string input = asm_to_file("{SSI a|b|}x\\xFF\\x1B{TAB}", "s.icf");
  const ToolRun dumped = run(tools + "/icfdump " + input + " " + dir.file("s.txt2"));
  EXPECT_EQ(dumped.status, 0);
  EXPECT_EQ(run(tools + "/icfasm " + dir.file("s.txt2") + " " + dir.file("s2.icf")).status, 0);
  EXPECT_EQ(test_support::read_file(dir.file("s2.icf")), test_support::read_file(input));
  const ToolRun bad = run(tools + "/icfasm " + dir.file("missing.txt"));
  EXPECT_EQ(bad.status, 1);
}

}  // namespace
