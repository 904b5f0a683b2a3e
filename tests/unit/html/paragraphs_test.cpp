// Hard line breaks: a thousand lists, a waiting sub-document.
#include "html/paragraphs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "html/attributes_fonts.h"
#include "html/notes_headers.h"
#include "html/output_redirect.h"
#include "html/writer.h"
#include "stream/code_numbers.h"
#include "stream/temp_buffers.h"
#include "support/fake_host.h"
#include "support/stream_fixture.h"

namespace {

using namespace kiv;

class LineBreaks : public test_support::StreamFixture {
 protected:
  void SetUp() override {
    StreamFixture::SetUp();
    tt_set_defaults(&rec);
    writer.FirstText = 1;
    writer.ver_code = 2;
    rec.para_start = 0;
    rec.line_start = 0;
    rec.line_has_text = 1;
  }
  // Runs a handler over the parameters of a code given in the notation and
  // returns what it wrote.
  std::string handle(CodeHandler handler, const std::string &code_notation) {
    const std::string bytes = test_support::assemble(code_notation);
    open_streams(bytes.substr(5));
    handler(&rec, StrToIcfCode(bytes.c_str() + 2));
    EXPECT_EQ(read_rest(), "");  // the whole code is consumed
    return close_streams();
  }
  fmt_info rec{};
};

TEST_F(LineBreaks, AHugeIndentationClosesAsManyListsAsItOpened) {
  rec.indent = 2000000000;
  rec.changed = 1;
  open_streams("");
  CheckChanged(&rec);
  const std::string opened = close_streams();
  const std::string closed = handle(tt_attr1, "{HNL}");
  std::size_t opens = 0, closes = 0;
  for (std::size_t at = opened.find("<UL>"); at != std::string::npos; at = opened.find("<UL>", at + 1)) ++opens;
  for (std::size_t at = closed.find("</UL>"); at != std::string::npos; at = closed.find("</UL>", at + 1)) ++closes;
  EXPECT_EQ(opens, static_cast<std::size_t>(max_list_levels));
  EXPECT_EQ(closes, opens);
}

TEST_F(LineBreaks, AWaitingSubDocumentFollowsTheBreakInItsOwnFont) {
  writer.Extensions = ext_netscape;
  writer.FontApplied = 1;
  rec.font.size = 480;
  std::strcpy(rec.font.face, "Arial");
  rec.font_out = rec.font;
  rec.color_out = rec.color;
  const int buffer = bufopen(0);
  ASSERT_NE(buffer, -1);
  for (char c : std::string("note")) bufput(static_cast<unsigned char>(c), buffer);
  notes.SubDocBuffer = buffer;
  EXPECT_EQ(handle(tt_attr1, "{HNL}"),
            "<BR>\r\n</FONT>\r\n<FONT SIZE=3 FACE=\"Times Roman\" COLOR=\"#000000\">\r\nnote\r\n</FONT>\r\n"
            "<FONT SIZE=6 FACE=\"Arial\" COLOR=\"#000000\">\r\n");
  EXPECT_EQ(notes.SubDocBuffer, -1);
  EXPECT_EQ(rec.font.size, 480);
  EXPECT_STREQ(rec.font.face, "Arial");
}

TEST_F(LineBreaks, NoSubDocumentIsWrittenIntoARedirection) {
  const int waiting = bufopen(0);
  const int collecting = bufopen(0);
  ASSERT_NE(waiting, -1);
  ASSERT_NE(collecting, -1);
  bufput('x', waiting);
  notes.SubDocBuffer = waiting;
  open_streams("\x1e");
  ASSERT_EQ(io_set(collecting), 0);
  tt_attr1(&rec, code("HNL"));
  int handle = -1, count = 0;
  io_restore(&handle, &count);
  EXPECT_EQ(close_streams(), "");
  EXPECT_EQ(notes.SubDocBuffer, waiting);
  EXPECT_EQ(BufNumStored(waiting), 1);
}

}  // namespace
