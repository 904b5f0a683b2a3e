// icf2html given a document instead of an intermediate stream: an RTF file is
// read by the reader program beside icf2html and converted with numeric
// character references; a picture or a document without a reader is refused
// in one line naming its format; no temporary file stays behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

const std::string tools = ICF_TOOLS_DIR;

using test_support::ToolRun;

ToolRun run(const std::string &command) { return test_support::run_tool(command); }

TEST(DocumentInput, AnRtfFileIsReadAndConverted) {
  test_support::TempDir dir;
  test_support::write_file(dir.file("a.rtf"),
                           "{\\rtf1{\\info{\\title Tides}}{\\b Bold} caf\\'e9 \\u945? end\\par}");
  const ToolRun r = run(tools + "/icf2html -l 2 " + dir.file("a.rtf") + " " + dir.file("a.html"));
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string html = test_support::read_file(dir.file("a.html"));
  EXPECT_NE(html.find("<TITLE>Tides</TITLE>"), std::string::npos) << html;
  EXPECT_NE(html.find("<B>Bold</B> caf&eacute; &#945; end"), std::string::npos) << html;
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"a.html", "a.rtf"}));
}

// A document many times the pipe's buffer, with notes that the writer holds
// in temporary files beside its input, converts whole.
TEST(DocumentInput, ALargeDocumentGoesThroughThePipeWhole) {
  test_support::TempDir dir;
  std::string rtf = "{\\rtf1 ";
  for (int k = 0; k < 4000; ++k) rtf += "Paragraph " + std::to_string(k) + " of the long text{\\footnote note " + std::to_string(k) + "}.\\par ";
  test_support::write_file(dir.file("long.rtf"), rtf + "The end.}");
  const ToolRun r = run(tools + "/icf2html " + dir.file("long.rtf") + " " + dir.file("long.html"));
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string html = test_support::read_file(dir.file("long.html"));
  EXPECT_NE(html.find("Paragraph 3999 of the long text"), std::string::npos);
  EXPECT_NE(html.find("The end."), std::string::npos);
  EXPECT_NE(html.find("note 3999"), std::string::npos);
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"long.html", "long.rtf"}));
}

// An input that cannot be read as a document ends with icf2html's status for
// an unreadable input.
constexpr int input_unreadable = 3;

TEST(DocumentInput, FormatsWithoutAReaderAreNamed) {
  test_support::TempDir dir;
  test_support::write_file(dir.file("p.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + std::string(64, '\0'));
  ToolRun r = run(tools + "/icf2html " + dir.file("p.png") + " " + dir.file("p.html"));
  EXPECT_EQ(r.status, input_unreadable);
  EXPECT_NE(r.output.find("(format 504) is a picture"), std::string::npos) << r.output;
  test_support::write_file(dir.file("d.pdf"), "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n");
  r = run(tools + "/icf2html " + dir.file("d.pdf") + " " + dir.file("d.html"));
  EXPECT_EQ(r.status, input_unreadable);
  EXPECT_NE(r.output.find("(format 107) cannot be read: no reader program"), std::string::npos) << r.output;
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"d.pdf", "p.png"}));
}

// The writer converts the stream as the reader writes it; when the reader
// then fails, the page made from its partial stream is not kept.
TEST(DocumentInput, AReaderThatFailsLeavesNoPage) {
  test_support::TempDir dir;
  test_support::write_file(dir.file("b.rtf"), "{\\rtfx1 recognised as RTF, refused by its reader}");
  test_support::write_file(dir.file("b.html"), "kept");
  const ToolRun r = run(tools + "/icf2html " + dir.file("b.rtf") + " " + dir.file("b.html"));
  EXPECT_EQ(r.status, input_unreadable);
  EXPECT_NE(r.output.find("(format 19), but its reader cannot read it"), std::string::npos) << r.output;
  EXPECT_EQ(test_support::read_file(dir.file("b.html")), "kept");
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"b.html", "b.rtf"}));
}

TEST(DocumentInput, TheReaderProgramRefusesAFileThatIsNotRtf) {
  test_support::TempDir dir;
  test_support::write_file(dir.file("x.txt"), "just text");
  const ToolRun r = run(tools + "/w019funx " + dir.file("x.txt") + " -t=" + dir.file("x.icf") + " -v0 -n");
  EXPECT_EQ(r.status, 9);
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"x.txt"}));
}

}  // namespace
