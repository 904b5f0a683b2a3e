// The tag writer where the conversion cases do not reach: size numbers at every
// boundary, the blocks below level 3, tags into a redirection and face
// normalisation; known rows of the language table.
#include "html/attributes_fonts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "html/output_redirect.h"
#include "html/writer.h"
#include "stream/temp_buffers.h"
#include "stream/code_numbers.h"
#include "support/fake_host.h"
#include "support/stream_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace kiv;

// A few rows with known answers, and what every row must hold.
TEST(LanguageTable, KnownRowsAndInvariants) {
  const auto tag_of = [](int id) -> std::string {
    for (const LanguageRow &row : HTMLLangs)
      if (row.id == id) return row.code;
    return "";
  };
  EXPECT_EQ(tag_of(1033), "en-US");
  EXPECT_EQ(tag_of(3084), "fr-CA");
  EXPECT_EQ(tag_of(2052), "zh");
  EXPECT_EQ(tag_of(1057), "");
  for (std::size_t i = 0; i < HTMLLangs.size(); ++i) {
    EXPECT_GT(HTMLLangs[i].id, 0);
    EXPECT_NE(std::string(HTMLLangs[i].code), "");
    for (std::size_t j = i + 1; j < HTMLLangs.size(); ++j) EXPECT_NE(HTMLLangs[i].id, HTMLLangs[j].id);
  }
}

TEST(FontSizes, BucketsByTwentiethsOfAPoint) {
  const std::pair<std::int32_t, int> sizes[] = {{-1, 1},  {0, 1},   {159, 1}, {160, 2}, {199, 2}, {200, 3},
                                                {240, 3}, {241, 4}, {300, 4}, {301, 5}, {360, 5}, {361, 6},
                                                {480, 6}, {481, 7}, {2147483647, 7}};
  for (const auto &[size, number] : sizes) EXPECT_EQ(font_size_number(size), number) << size;
}

// The tag writer on a record, writing into a target file.
class TagWriter : public test_support::StreamFixture {
 protected:
  void SetUp() override {
    StreamFixture::SetUp();
    tt_set_defaults(&rec);
    writer.FirstText = 1;
    writer.ver_code = 2;
    writer.Extensions = ext_netscape;
    rec.color_out = rec.color;  // as after the first FONT tag
    writer.FontApplied = 1;
  }
  template <typename Action>
  std::string output_of(Action action, const std::string &source = "") {
    open_streams(source);
    action();
    return close_streams();
  }
  std::string check_changed() {
    rec.changed = 1;
    return output_of([&] { CheckChanged(&rec); });
  }
  // Runs a handler over the parameters of a code given in the notation.
  void handle(CodeHandler handler, const std::string &code_notation) {
    const std::string bytes = test_support::assemble(code_notation);
    output_of([&] { handler(&rec, StrToIcfCode(bytes.c_str() + 2)); }, bytes.substr(5));
  }
  fmt_info rec{};
};

TEST_F(TagWriter, BelowLevelThreeTheCentredBlockIsCenterAndTheRightBlockHasNoTag) {
  writer.ver_code = 0;
  rec.attrs = attr_centred_block | attr_right_block | attr_bold;
  EXPECT_EQ(check_changed(), "<CENTER><B>");
  rec.block_align = align_right;
  rec.attrs = 0;
  EXPECT_EQ(check_changed(), "</B></CENTER>");
  EXPECT_EQ(rec.block_align, align_right);  // only a closed right block ends the block
}

TEST_F(TagWriter, TheHeadComesFirstAndOnlyOutsideARedirection) {
  writer.FirstText = 0;
  writer.Extensions = 0;
  rec.attrs = attr_bold;
  // Redirected (a note being collected): the tags go into the buffer, no head.
  const int buffer = bufopen(0);
  ASSERT_NE(buffer, -1);
  std::string redirected;
  EXPECT_EQ(output_of([&] {
              ASSERT_EQ(io_set(buffer), 0);
              rec.changed = 1;
              CheckChanged(&rec);
              int handle = -1, count = 0;
              io_restore(&handle, &count);
              for (int c = bufget(buffer); c != -1; c = bufget(buffer)) redirected += static_cast<char>(c);
            }),
            "");
  EXPECT_EQ(redirected, "<B>");
  EXPECT_EQ(writer.FirstText, 0);

  rec.attrs = attr_italic;
  const std::string out = check_changed();
  EXPECT_EQ(out.rfind("<HEAD>\r\n<TITLE>", 0), 0u) << out;
  EXPECT_TRUE(out.ends_with("</HEAD>\r\n\r\n<BODY>\r\n</B><I>")) << out;
  EXPECT_EQ(writer.FirstText, 1);
  rec.attrs = attr_bold;
  EXPECT_EQ(check_changed(), "</I><B>");  // the head once per document
}

// Face normalisation through SPF: the face the record gets and fixed pitch.
struct FaceCase {
  const char *before;
  const char *given;
  const char *after;
  bool fixed_pitch;
  bool changed = true;  // false: the same face, ignoring case; nothing happens
};

class FaceNormalisation : public TagWriter, public testing::WithParamInterface<FaceCase> {};

TEST_P(FaceNormalisation, FaceAndFixedPitch) {
  const FaceCase &c = GetParam();
  std::strcpy(rec.font.face, c.before);
  rec.attrs = rec.attrs_out = std::strcmp(c.before, "Courier") == 0 ? attr_fixed_pitch : 0;
  handle(tt_spf, std::string("{SPF 0|0|10|0|240|") + c.given + "}");
  EXPECT_STREQ(rec.font.face, c.after);
  EXPECT_EQ((rec.attrs & attr_fixed_pitch) != 0, c.fixed_pitch);
  EXPECT_EQ((rec.attrs & attr_font_changed) != 0, c.changed);
  EXPECT_EQ(rec.changed, c.changed ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faces, FaceNormalisation,
    testing::Values(FaceCase{"Arial", "times new roman", "Times Roman", false},
                    // The Courier row is searched first, whatever the entries' places.
                    FaceCase{"Arial", "Roman Pica", "Courier", true},
                    FaceCase{"Courier", "COURIER", "Courier", true, false},
                    FaceCase{"Times Roman", "", "", false},
                    FaceCase{"Times Roman",
                             "A face name of more than eighty characters is cut to its first eighty ones, no more",
                             "A face name of more than eighty characters is cut to its first eighty ones, no m",
                             false}));

}  // namespace
