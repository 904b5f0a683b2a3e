// The tag writer: orders of closing and opening (also around a FONT change and
// with every attribute at once), attribute codes by level, size numbers, face
// normalisation, colours and LANG tags; the language table and the face map
// against reference copies.
#include "html/attributes_fonts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
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

// Three columns of id and tag, read down each column in turn.
constexpr const char *reference_languages = R"(
| 1052 | "AL" | 3000 | "en-CA" | 1044 | "no" |
| 1025 | "ar" | 2057 | "en-UK" | 1046 | "pt-BR" |
| 1036 | "fr" | 1033 | "en-US" | 2070 | "pt" |
| 2060 | "fr-BE" | 1035 | "fi-FI" | 1047 | "rm" |
| 2068 | "no" | 3084 | "fr-CA" | 1048 | "ro" |
| 1045 | "pl" | 4108 | "fr-CH" | 1049 | "ru" |
| 1026 | "bg" | 1031 | "de" | 2074 | "sr-HR" |
| 1027 | "ca" | 2055 | "de-CH" | 1051 | "sl" |
| 1028 | "zh" | 1032 | "el" | 1034 | "es-ES" |
| 2052 | "zh" | 1037 | "he" | 2058 | "es-MX" |
| 1050 | "hr" | 1038 | "hu" | 1053 | "sv" |
| 1029 | "cs" | 1039 | "is" | 1054 | "th" |
| 1030 | "da" | 1040 | "it" | 1055 | "tr" |
| 1043 | "nl" | 2064 | "it-CH" | 1056 | "ur" |
| 2067 | "nl-BE" | 1041 | "ja" |  |  |
| 3081 | "en-AU" | 1042 | "ko" |  |  |
)";

TEST(LanguageTable, MatchesTheReferenceInOrder) {
  std::vector<std::pair<int, std::string>> columns[3];
  std::stringstream in(reference_languages);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream cells_in(line);
    std::string cell;
    std::getline(cells_in, cell, '|');
    while (std::getline(cells_in, cell, '|')) {
      const auto first = cell.find_first_not_of(' ');
      cells.push_back(first == std::string::npos ? "" : cell.substr(first, cell.find_last_not_of(' ') - first + 1));
    }
    for (std::size_t c = 0; c + 1 < cells.size(); c += 2)
      if (!cells[c].empty()) columns[c / 2].emplace_back(std::stoi(cells[c]), cells[c + 1].substr(1, cells[c + 1].size() - 2));
  }
  std::vector<std::pair<int, std::string>> reference;
  for (const auto &column : columns) reference.insert(reference.end(), column.begin(), column.end());
  ASSERT_EQ(reference.size(), HTMLLangs.size());
  for (std::size_t i = 0; i < reference.size(); ++i) {
    EXPECT_EQ(HTMLLangs[i].id, reference[i].first) << "row " << i;
    EXPECT_STREQ(HTMLLangs[i].code, reference[i].second.c_str()) << "row " << i;
  }
}

TEST(FontMap, RowsAndEntriesInOrder) {
  const std::vector<std::vector<std::string>> reference = {
      {"Courier", "Pica", "Elite"},
      {"Times Roman", "Times", "Roman", "TimesRoman", "TNR", "Times New Roman"},
  };
  ASSERT_EQ(font_map.size(), reference.size());
  for (std::size_t r = 0; r < reference.size(); ++r)
    for (std::size_t e = 0; e < font_map_entries; ++e)
      EXPECT_STREQ(font_map[r][e], e < reference[r].size() ? reference[r][e].c_str() : "") << r << "," << e;
}

TEST(FontSizes, BucketsByTwentiethsOfAPoint) {
  const std::pair<std::int32_t, int> sizes[] = {{-1, 1},  {0, 1},   {159, 1}, {160, 2}, {199, 2}, {200, 3},
                                                {240, 3}, {241, 4}, {300, 4}, {301, 5}, {360, 5}, {361, 6},
                                                {480, 6}, {481, 7}, {2147483647, 7}};
  for (const auto &[size, number] : sizes) EXPECT_EQ(font_size_number(size), number) << size;
}

TEST(Colours, SixLowerCaseDigits) {
  char buffer[7];
  get_color(255, 0, 0, buffer);
  EXPECT_STREQ(buffer, "ff0000");
  get_color(1, 171, 15, buffer);
  EXPECT_STREQ(buffer, "01ab0f");
  get_color(-1, 256, 0x12345, buffer);  // out-of-range values keep their low byte
  EXPECT_STREQ(buffer, "ff0045");
}

TEST(ListLevels, FullFivesCappedAndNeverNegative) {
  EXPECT_EQ(list_levels(4), 0);
  EXPECT_EQ(list_levels(12), 2);
  EXPECT_EQ(list_levels(-40), 0);
  EXPECT_EQ(list_levels(2147483647), max_list_levels);
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

constexpr std::int32_t all_tagged = attr_superscript | attr_subscript | attr_italic | attr_double_underline |
                                    attr_bold | attr_strike_out | attr_underline | attr_blink | attr_redline |
                                    attr_fixed_pitch | attr_centred_block | attr_right_block;

TEST_F(TagWriter, EveryAttributeAtOnceOpensAndClosesInTheirOrders) {
  rec.attrs = all_tagged;
  rec.lang = 1033;
  EXPECT_EQ(check_changed(),
            "<DIV ALIGN=\"CENTER\"><BLINK><LANG CLASS=\"en-US\"><SUB><SUP><INS><DIV ALIGN=\"RIGHT\"><STRIKE><B><I>"
            "<U><U><TT>");
  EXPECT_EQ(rec.attrs_out, all_tagged);
  rec.block_align = align_right;
  rec.attrs = 0;
  EXPECT_EQ(check_changed(), "</B></I></U></U></STRIKE></SUB></SUP></INS></TT></BLINK></DIV></DIV>");
  EXPECT_EQ(rec.attrs_out, 0);
  EXPECT_EQ(rec.block_align, 0);
}

TEST_F(TagWriter, BelowLevelThreeTheCentredBlockIsCenterAndTheRightBlockHasNoTag) {
  writer.ver_code = 0;
  rec.attrs = attr_centred_block | attr_right_block | attr_bold;
  EXPECT_EQ(check_changed(), "<CENTER><B>");
  rec.block_align = align_right;
  rec.attrs = 0;
  EXPECT_EQ(check_changed(), "</B></CENTER>");
  EXPECT_EQ(rec.block_align, align_right);  // only a closed right block ends the block
}

TEST_F(TagWriter, AFontChangeClosesAndReopensWhatStaysOnWithFontOutermost) {
  rec.attrs = rec.attrs_out = all_tagged;
  rec.font.size = 300;
  std::strcpy(rec.font.face, "Arial");
  EXPECT_EQ(check_changed(),
            "</B></I></U></U></STRIKE></SUB></SUP></INS></TT></DIV></BLINK></DIV>\r\n</FONT>\r\n"
            "<FONT SIZE=4 FACE=\"Arial\" COLOR=\"#000000\">\r\n"
            "<B><I><U><U><STRIKE><SUB><SUP><INS><TT><DIV ALIGN=\"RIGHT\"><BLINK><DIV ALIGN=\"CENTER\">");
  EXPECT_EQ(rec.font_out.size, 300);
  EXPECT_STREQ(rec.font_out.face, "Arial");
}

TEST_F(TagWriter, AFontChangeInsideBoldItalicWhileUnderlineGoesOffAndStrikeComesOn) {
  rec.attrs_out = attr_bold | attr_italic | attr_underline;
  rec.attrs = attr_bold | attr_italic | attr_strike_out;
  rec.color = {0, 0, 255};
  EXPECT_EQ(check_changed(),
            "</U></B></I>\r\n</FONT>\r\n<FONT SIZE=3 FACE=\"Times Roman\" COLOR=\"#0000ff\">\r\n<B><I><STRIKE>");
  EXPECT_EQ(rec.color_out, rec.color);
}

TEST_F(TagWriter, FaceComparisonIgnoresCase) {
  std::strcpy(rec.font.face, "TIMES ROMAN");
  EXPECT_EQ(check_changed(), "");
}

TEST_F(TagWriter, NoFontTagsWithoutTheExtensions) {
  writer.Extensions = ext_e;
  rec.attrs = rec.attrs_out = attr_bold;
  rec.font.size = 480;
  EXPECT_EQ(check_changed(), "");
  EXPECT_EQ(output_of([&] { EndFont(&rec); }), "");
  EXPECT_EQ(writer.FontApplied, 1);
}

TEST_F(TagWriter, TheFirstFontTagNeedsNoClosingOne) {
  writer.FontApplied = 0;
  rec.color_out = {-1, -1, -1};
  EXPECT_EQ(check_changed(), "<FONT SIZE=3 FACE=\"Times Roman\" COLOR=\"#000000\">\r\n");
  EXPECT_EQ(writer.FontApplied, 1);
}

TEST_F(TagWriter, ParagraphTagsByAlignmentLevelAndOption) {
  rec.align_out = -1;
  EXPECT_EQ(check_changed(), "");  // left without P tags: nothing
  rec.align = align_justified;
  EXPECT_EQ(check_changed(), "\r\n<P ALIGN=JUSTIFY>\r\n");
  writer.ver_code = 1;
  rec.align = align_right;
  EXPECT_EQ(check_changed(), "\r\n<P>\r\n");
  writer.GenPTags = 1;
  rec.align = align_left;
  EXPECT_EQ(check_changed(), "\r\n<P>\r\n");
  EXPECT_EQ(check_changed(), "");  // unchanged alignment: no new tag
}

TEST_F(TagWriter, ListsOpenOnceForTheIndentation) {
  rec.indent = 12;
  EXPECT_EQ(check_changed(), "<UL>\r\n<UL>\r\n");
  EXPECT_EQ(rec.indent_out, 1);
  EXPECT_EQ(check_changed(), "");
}

TEST_F(TagWriter, LanguageTagOncePerChangeAndNoneForUnknownIds) {
  rec.lang = 1033;
  EXPECT_EQ(check_changed(), "<LANG CLASS=\"en-US\">");
  EXPECT_EQ(check_changed(), "");
  rec.lang = 1057;
  EXPECT_EQ(check_changed(), "");
  EXPECT_EQ(rec.lang_out, 1057);
  rec.lang = 3000;
  EXPECT_EQ(check_changed(), "<LANG CLASS=\"en-CA\">");
  rec.lang = -1;  // the table's end mark is no language
  EXPECT_EQ(check_changed(), "");
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
    testing::Values(FaceCase{"Times Roman", "Courier New", "Courier", true},
                    FaceCase{"Courier", "Arial", "Arial", false},
                    FaceCase{"Times Roman", "Times New Roman", "Times Roman", false},
                    FaceCase{"Arial", "times new roman", "Times Roman", false},
                    FaceCase{"Arial", "TNR", "Times Roman", false},
                    FaceCase{"Arial", "Elite 12", "Courier", true},
                    // The Courier row is searched first, whatever the entries' places.
                    FaceCase{"Arial", "Roman Pica", "Courier", true},
                    FaceCase{"Courier", "COURIER", "Courier", true, false},
                    FaceCase{"Times Roman", "", "", false},
                    FaceCase{"Times Roman",
                             "A face name of more than eighty characters is cut to its first eighty ones, no more",
                             "A face name of more than eighty characters is cut to its first eighty ones, no m",
                             false}));

TEST_F(TagWriter, SizeFromThePitchWhenTheSizeIsMissing) {
  handle(tt_spf, "{SPF 0|0|12|0}");
  EXPECT_EQ(rec.font.size, 200);
  handle(tt_spf, "{SPF 0|0|0|0}");  // no pitch either: the size stays
  EXPECT_EQ(rec.font.size, 200);
  rec.attrs = 0;
  rec.changed = 0;
  std::strcpy(rec.font.face, "Times Roman");
  handle(tt_spf, "{SPF 0|0|10|0|200|times roman}");
  EXPECT_EQ(rec.attrs, 0);  // same size, same face: nothing changed
  EXPECT_EQ(rec.changed, 0);
}

TEST_F(TagWriter, ColourCodesNeedAnExtensionSet) {
  handle(tt_bcl, "{BCL 0|10|20|30}");
  EXPECT_EQ(rec.color, (std::array<std::int32_t, 3>{10, 20, 30}));
  EXPECT_NE(rec.attrs & attr_colour_set, 0);
  handle(tt_bcl, "{ECL}");
  EXPECT_EQ(rec.color, (std::array<std::int32_t, 3>{0, 0, 0}));
  writer.Extensions = 0;
  rec.attrs = 0;
  handle(tt_bcl, "{BCL 0|10|20|30}");
  EXPECT_EQ(rec.color, (std::array<std::int32_t, 3>{0, 0, 0}));
  EXPECT_EQ(rec.attrs, 0);
}

// Each attribute code pair at each level: the tags around text, and nothing
// when switched on and off with no text between.
struct AttributeCase {
  const char *on;
  const char *off;
  const char *open;
  const char *close;
  const char *levels_with_tags;  // level letters at which the code takes effect
};

class AttributeCodes : public testing::TestWithParam<AttributeCase> {};

TEST_P(AttributeCodes, TagsAroundTextAndNothingWithoutText) {
  const AttributeCase &c = GetParam();
  for (const char *levels : {"0", "1", "2", "3", "4", "5"}) {
    test_support::TempDir dir;
    test_support::ConversionSettings settings;
    settings.levels = levels;
    settings.options = {"CMD=TITLE=t"};
    const std::string on = std::string("{") + c.on + "}", off = std::string("{") + c.off + "}";
    const auto result = test_support::convert_notation(dir.path().string(), "a" + on + off + "b" + on + "c" + off + "d",
                                                       settings);
    const bool tagged = std::strchr(c.levels_with_tags, levels[0]) != nullptr;
    const std::string body = tagged ? std::string("ab") + c.open + "c" + c.close + "d" : "abcd";
    EXPECT_NE(result.html.find(body + "\r\n"), std::string::npos) << levels << "\n" << result.html;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, AttributeCodes,
    testing::Values(AttributeCase{"BBT", "EBT", "<B>", "</B>", "012345"},
                    AttributeCase{"ITO", "ITF", "<I>", "</I>", "012345"},
                    AttributeCase{"BUL", "EUL", "<U>", "</U>", "012345"},
                    AttributeCase{"BDU", "EDU", "<U>", "</U>", "012345"},
                    AttributeCase{"BSO", "ESO", "<STRIKE>", "</STRIKE>", "1245"},
                    AttributeCase{"SBS", "EBS", "<SUB>", "</SUB>", "25"},
                    AttributeCase{"SPS", "EPS", "<SUP>", "</SUP>", "25"},
                    AttributeCase{"BRL", "ERL", "<INS>", "</INS>", "25"},
                    AttributeCase{"BFL", "EFL", "<BLINK>", "</BLINK>", "345"}));

}  // namespace
