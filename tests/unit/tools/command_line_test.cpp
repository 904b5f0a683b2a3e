// The command-line tools as a user runs them: icf2html converts through the
// shared object, reports failures in one line, and keeps the user's input.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <icf2html.h>

#include "support/fake_host.h"
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
    test_support::write_file(dir.file(name), test_support::assemble(notation_text));
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
  // Nothing but the input and the output stays in the folder.
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"doc.html", "doc.icf"}));
}

TEST_F(CommandLine, WritesToStandardOutput) {
  const std::string input = asm_to_file("text", "doc.icf");
  const ToolRun r = run(tools + "/icf2html -l 2x " + input + " -");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3//EN\">\n<HTML>\n", 0), 0u) << r.output;
  EXPECT_NE(r.output.find("</HTML>\n"), std::string::npos);
}

TEST_F(CommandLine, HelpAndUsage) {
  EXPECT_EQ(run(tools + "/icf2html --help").status, 0);
  EXPECT_NE(run(tools + "/icf2html --help").output.find("usage: icf2html"), std::string::npos);
  EXPECT_EQ(run(tools + "/icf2html only-one").status, 2);
  EXPECT_EQ(run(tools + "/icfasm --help").status, 0);
  for (const char *tool : {"icf2html", "icfasm", "icfdump", "icf-identify"}) {
    const ToolRun r = run(tools + "/" + tool + " --version");
    EXPECT_EQ(r.status, 0) << tool;
    EXPECT_EQ(r.output.rfind(std::string(tool) + " " ICF2HTML_VERSION, 0), 0u) << r.output;
  }
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

// A regular input file is not copied but linked under the private name the
// converter deletes: a 3 MB input converts under a 1 MB file-size limit, and
// stays whole. Standard input still has to be copied.
TEST_F(CommandLine, InputIsLinkedNotCopied) {
  const std::string input = asm_to_file("Hello {ZZZ " + std::string(3000000, 'a') + "|} world", "big.icf");
  ToolRun r = run("ulimit -f 1024; " + tools + "/icf2html " + input + " " + dir.file("big.html"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(test_support::read_file(dir.file("big.html")).find("Hello  world"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(input), 3000019u);
  EXPECT_EQ(std::filesystem::hard_link_count(input), 1u);
  r = run(tools + "/icf2html - " + dir.file("piped.html") + " < " + input);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(test_support::read_file(dir.file("piped.html")).find("Hello  world"), std::string::npos);
}

// A malformed notation names its line and leaves no partial stream behind.
TEST_F(CommandLine, MalformedNotationLeavesNoOutput) {
  test_support::write_file(dir.file("bad.txt"), "fine\nfine\n\\q");
  const ToolRun r = run(tools + "/icfasm " + dir.file("bad.txt") + " " + dir.file("bad.icf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("line 3: unknown escape \\q"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("bad.icf")));
}

// Both translators stream: 32 MB of notation pass through each under a 24 MB address-space
// limit, which reading the whole input first could not fit.
TEST_F(CommandLine, TranslatorsStreamInConstantMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory does not fit an address-space limit";
#endif
  const std::string input = "yes 'x{BBT}\\|abcdefg' | head -c 32000000";  // 16 bytes a line
  const ToolRun r = run("ulimit -v 24576; " + input + " | " + tools + "/icfasm | " + tools +
                        "/icfdump | " + tools + "/icfasm | wc -c");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, "30000000\n");  // 15 bytes a line
}

}  // namespace
