// The RTF reader through its interface: RTF in, intermediate stream out, shown
// in the stream notation. Each case names what it proves; the stream must be
// exactly the expected one, so a control word or hex data that leaks into the
// text, or a code the reader should write and does not, fails the case.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "rtf_reader.h"
#include "stream/buffered_io.h"
#include "stream_notation.h"
#include "support/temp_dir.h"

namespace {

std::string captured;

int capture(int c) {
  captured += static_cast<char>(c);
  return 0;
}
int take_back() {
  if (captured.empty()) return -1;
  const int c = static_cast<unsigned char>(captured.back());
  captured.pop_back();
  return c;
}

struct ReadResult {
  int status;
  std::string stream;  // notation, without line breaks
};

ReadResult read(const std::string &rtf) {
  captured.clear();
  kiv::RedirectOutput(capture, take_back);
  kiv::RtfInput input;
  kiv::rtf_input_open_memory(input, reinterpret_cast<const unsigned char *>(rtf.data()), rtf.size());
  const int status = kiv::read_rtf(input);
  kiv::RedirectOutputClose();
  std::string text;
  for (const char c : notation::to_notation(captured))
    if (c != '\n') text += c;
  return {status, text};
}

// The font code every document writes before its first text.
const std::string times = "{SPF 0|0|0|0|240|Times Roman|}";

struct Case {
  const char *name;
  const char *rtf;
  std::string stream;
};

class RtfReaderCases : public testing::TestWithParam<Case> {};

TEST_P(RtfReaderCases, WritesTheExpectedStream) {
  const ReadResult result = read(GetParam().rtf);
  EXPECT_EQ(result.status, kiv::rtf_status_ok);
  EXPECT_EQ(result.stream, GetParam().stream);
}

const Case cases[] = {
    {"paragraphs_lines_and_tabs", R"({\rtf1 One\par Two\line three\tab four\par})",
     times + "One{HNL}Two{HNL}three{TAB}four{HNL}"},
    {"attributes_go_off_before_others_come_on",
     R"({\rtf1 a{\b b{\i c}}{\ul d}{\uldb e}{\strike f}{\super g}{\sub h}{\scaps i}\b j\plain k})",
     times + "a{BBT}b{ITO}c{EBT}{ITF}{BUL}d{EUL}{BDU}e{EDU}{BSO}f{ESO}{SPS}g{EPS}{SBS}h{EBS}{BCU}i{ECU}{BBT}j{EBT}k{HNL}"},
    {"hidden_text_is_dropped", R"({\rtf1 seen{\v hidden}seen})", times + "seenseen{HNL}"},
    {"fonts_sizes_and_colours_come_from_their_tables",
     R"({\rtf1{\fonttbl{\f0\froman Times New Roman;}{\f1\fmodern\fcharset0 Courier New;}}{\colortbl;\red255\green0\blue0;}\f0 a\f1\fs48\cf1 b\cf0 c})",
     "{SPF 0|0|0|0|240|Times New Roman|}a{SPF 0|0|0|0|480|Courier New|}{BCL 0|255|0|0|}b{ECL}c{HNL}"},
    {"code_pages_of_the_document_and_of_fonts",
     R"({\rtf1\ansi\ansicpg1251{\fonttbl{\f0 A;}{\f1\fcharset0 B;}{\f2\fcharset128 C;}}\f0\'c0\f1\'e9\f2\'82\'a0})",
     "{SPF 0|0|0|0|240|A|}{XCS 10646|410|}_{SPF 0|0|0|0|240|B|}{XCS 8591|E9|}_{SPF 0|0|0|0|240|C|}{XCS 10646|3042|}_{HNL}"},
    {"unicode_characters_skip_their_fallbacks",
     R"({\rtf1 \u945?\uc2\u946\'e2\'80x{\uc0\u947 y}\uc1\u-10179?\u-8704?ab})",
     times + "{XCS 10646|3B1|}_{XCS 10646|3B2|}_x{XCS 10646|3B3|}_y{XCS 10646|1F600|}_ab{HNL}"},
    {"a_control_word_is_one_fallback_character_and_indents_are_bounded",
     R"({\rtf1\uc1\u945\zzz ab\par\pard\li99999 c\par})",
     times + "{XCS 10646|3B1|}_ab{HNL}{STM 0|50|}c{HNL}"},
    {"special_characters_and_symbols",
     R"({\rtf1 a\~b\_c\-d\{\}\\\emdash\lquote\bullet})",
     times + "a{NBR}b-cd\\{\\}\\\\{XCS 10646|2014|}_{XCS 10646|2018|}_{XCS 10646|2022|}_{HNL}"},
    {"the_symbol_font_shows_greek", R"({\rtf1{\fonttbl{\f3\fcharset2 Symbol;}}\f3 ab\'b7})",
     "{SPF 0|0|0|0|240|Symbol|}{XCS 10646|3B1|}_{XCS 10646|3B2|}_{XCS 10646|2022|}_{HNL}"},
    {"unknown_and_skipped_destinations_leave_no_text",
     R"({\rtf1{\*\unknown zzz{\x yyy}}{\stylesheet{\s0 Normal;}}{\*\pn\pnlvlblt{\pntxtb q}}{\*\objdata 0102}a\bin3 {}}b})",
     times + "ab{HNL}"},
    {"alignment_and_indentation_open_the_paragraph",
     R"({\rtf1\pard\qc one\par\pard\qr\li1440 two\par\pard three\par})",
     "{BCA}" + times + "one{HNL}{BRA}{STM 0|10|}two{HNL}{ERJ}three{HNL}"},
    {"information_group_becomes_summary_fields",
     R"({\rtf1{\info{\title A & B}{\author Ann}{\subject S}{\keywords k}{\creatim\yr2024\mo3\dy5\hr10\min2}}x})",
     "{SSI S|Ann||k||2024-03-05 10:02|||||||||||||||A &amp; B|}" + times + "x{HNL}"},
    {"a_table_with_spans_and_borders",
     R"({\rtf1\trowd\clbrdrt\brdrs\clvmgf\cellx1000\cellx2000\cellx3000\pard\intbl a\cell b\cell c\cell\row)"
     R"(\trowd\clvmrg\cellx1000\cellx3000\pard\intbl\cell d\cell\row\pard after\par})",
     "{CDS 08|3|1000|2000|3000|}{BRO 0|0|0|1|}{BCO 1|1|2|0|0|0|0|}" + times +
         "a{BCO 2|1|1|0|0|0|0|}b{BCO 3|1|1|0|0|0|0|}c{BRO 0|0|0|0|}{BCO 1|1|1|1|0|0|0|}"
         "{BCO 2|2|1|0|0|0|0|}d{ECM}after{HNL}"},
    {"header_rows_carry_their_mark_in_the_row_code",
     R"({\rtf1\trowd\trhdr\cellx1000\pard\intbl h\cell\row\trowd\cellx1000\pard\intbl d\cell\row\pard})",
     "{CDS 08|1|1000|}{BRO 0|0|0|0|1|}{BCO 1|1|1|0|0|0|0|}" + times + "h{BRO 0|0|0|0|}{BCO 1|1|1|0|0|0|0|}d{ECM}"},
    {"merged_cells_are_covered", R"({\rtf1\trowd\clmgf\cellx1000\clmrg\cellx2000\pard\intbl a\cell\cell\row\pard})",
     "{CDS 08|2|1000|2000|}{BRO 0|0|0|0|}{BCO 1|2|1|0|0|0|0|}" + times + "a{BCO 2|1|1|1|0|0|0|}{ECM}"},
    {"headers_footers_and_notes_are_sub_documents",
     R"({\rtf1{\header\pard h\par}{\footer f}x{\super\chftn}{\footnote\pard {\super\chftn} n}y{\footnote\ftnalt e}z})",
     "{HF2}" + times + "h{HNL}{HFX}{HF1}" + times + "f{HFX}" + times + "x{FNT 00|00|01|}" + times +
         " n{EFN}y{FNT 02|00|01|}" + times + "e{EFN}z{HNL}"},
    {"hyperlinks_and_bookmarks",
     R"({\rtf1{\*\bkmkstart top}{\*\bkmkend top}{\field{\*\fldinst HYPERLINK "http://x.org/a b"}{\fldrslt go}})"
     R"({\field{\*\fldinst HYPERLINK \\l "top"}{\fldrslt up}}{\field{\*\fldinst PAGE}{\fldrslt 7}}})",
     times + "{XRF 01|3|top||}{XRF 04|12|http://x.org/a%20b||}go{XRF 05|}{XRF 04|3|top||}up{XRF 05|}7{HNL}"},
    {"pictures_become_a_description_and_their_data",
     R"({\rtf1 a{\*\shppict{\pict{\*\blipuid 0f}\pngblip\picw4\pich2\picwgoal1440\pichgoal720\picscalex50 89 50 4e 4}})"
     R"({\nonshppict{\pict\wmetafile8 0100}}{\pict\wmetafile8\bin2 xy}b})",
     times + "a{PDS 504|0|0|0|720|720|0|0|}{PCT 89504E|}{PDS 610|0|0|0|0|0|0|0|}{PCT 0|7879|}b{HNL}"},
    {"list_text_is_kept", R"({\rtf1{\listtext 1.\tab}First\par})", times + "1.{TAB}First{HNL}"},
    // Items without \listtext are numbered from the list table: across levels
    // (a level restarts under a new item above it), with list instances that
    // continue their list or restart it, and after items that bring their own
    // marker text, which is written as it stands.
    {"list_items_are_numbered_from_the_list_table",
     R"({\rtf1{\*\listtable{\list{\listlevel\levelnfc0{\leveltext\'02\'00.;}}{\listlevel\levelnfc4)"
     R"({\leveltext\'04\'00.\'01);}{\levelnumbers\'01\'03;}}\listid100}}{\*\listoverridetable{\listoverride)"
     R"(\listid100\ls1}{\listoverride\listid100\listoverridecount1{\lfolevel\listoverridestartat\levelstartat5})"
     R"(\ls3}})"
     R"(\pard\ls1 a\par\pard\ls1\ilvl1 b\par\pard\ls1\ilvl1 c\par\pard\ls1 d\par\pard\ls1\ilvl1 e\par)"
     R"({\listtext 9.\tab}\pard\ls1 f\par\pard\ls1 g\par\pard\ls3 h\par\pard\ls3 i\par\pard j\par})",
     times + "1.{TAB}a{HNL}1.a){TAB}b{HNL}1.b){TAB}c{HNL}2.{TAB}d{HNL}2.a){TAB}e{HNL}9.{TAB}f{HNL}4.{TAB}g{HNL}"
             "5.{TAB}h{HNL}6.{TAB}i{HNL}j{HNL}"},
    // A note's paragraphs are no items of the list around them.
    {"a_note_in_a_list_item_leaves_the_numbering_alone",
     R"({\rtf1{\*\listtable{\list{\listlevel{\leveltext\'02\'00.;}}\listid1}}{\*\listoverridetable{\listoverride)"
     R"(\listid1\ls1}}\pard\ls1 w{\super\chftn}{\footnote\pard n\par m}x\par\pard\ls1 y\par})",
     times + "1.{TAB}w{FNT 00|00|01|}" + times + "n{HNL}m{EFN}x{HNL}2.{TAB}y{HNL}"},
    // Bullets in the code page of the level's font, or as \u characters of a
    // symbol or dingbat font; number formats, the text after the marker, and
    // an undefined list instance, which gets no marker.
    {"list_bullets_and_number_formats",
     R"({\rtf1{\fonttbl{\f1\fcharset2 Symbol;}{\f2 Wingdings;}}{\*\listtable{\list{\listlevel\levelnfc23)"
     R"({\leveltext\'01\'b7;}\f1}{\listlevel\levelnfc23\levelfollow1{\leveltext\'01\u-3929 ?;}\f2}{\listlevel)"
     R"(\levelnfc255\levelfollow2{\leveltext\'00;}}\listid7}{\list{\listlevel\levelnfc1\levelstartat3{\leveltext)"
     R"(\'02\'00.;}}{\listlevel\levelnfc3\levellegal{\leveltext\'03\'00.\'01;}}{\listlevel\levelnfc22{\leveltext)"
     R"(\'02(\'02;}}{\listlevel\levelnfc5{\leveltext\'01\'03;}}\listid8}}{\*\listoverridetable{\listoverride)"
     R"(\listid7\ls1}{\listoverride\listid8\ls2}})"
     R"(\pard\ls1 a\par\pard\ls1\ilvl1 b\par\pard\ls1\ilvl2 c\par\pard\ls2 d\par\pard\ls2\ilvl1 e\par)"
     R"(\pard\ls2\ilvl2 f\par\pard\ls2\ilvl3 g\par\pard\ls9 h\par})",
     times + "{XCS 10646|2022|}_{TAB}a{HNL}{XCS 10646|25AA|}_ b{HNL}c{HNL}III.{TAB}d{HNL}3.A{TAB}e{HNL}(01{TAB}f{HNL}"
             "1st{TAB}g{HNL}h{HNL}"},
};

INSTANTIATE_TEST_SUITE_P(Documents, RtfReaderCases, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

// The stream stays well formed: codes open and close in pairs.
bool balanced(const std::string &bytes) {
  int depth = 0;
  for (const char c : bytes) {
    if (c == 0x1B) ++depth;
    if (c == 0x1E && --depth < 0) return false;
  }
  return depth == 0;
}

// A file is read in blocks: a control word, its parameter, a \'hh, a table
// read ahead for its grid, each cut by a block's end, give the stream that
// the same bytes in memory give.
TEST(RtfReaderInput, AFileReadsAsTheSameBytesInMemory) {
  const std::string tail =
      "\\fs36 big\\'e9\\u945?{\\b b}\\par\\trowd\\clvmgf\\cellx1000\\cellx2000\\pard\\intbl a\\cell b\\cell\\row"
      "\\trowd\\clvmrg\\cellx1000\\cellx2000\\pard\\intbl\\cell c\\cell\\row\\pard end\\par}";
  test_support::TempDir dir;
  for (std::size_t cut = 0; cut < tail.size(); cut += 5) {
    // The block ends cut bytes into the tail.
    const std::string rtf = "{\\rtf1 " + std::string(kiv::rtf_block_size - 7 - cut, 'x') + tail;
    const std::string memory = read(rtf).stream;
    test_support::write_file(dir.file("in.rtf"), rtf);
    const int fd = open(dir.file("in.rtf").c_str(), O_RDONLY);
    ASSERT_NE(fd, -1);
    captured.clear();
    kiv::RedirectOutput(capture, take_back);
    kiv::RtfInput input;
    ASSERT_TRUE(kiv::rtf_input_open_fd(input, fd));
    EXPECT_EQ(kiv::read_rtf(input), kiv::rtf_status_ok);
    kiv::RedirectOutputClose();
    kiv::rtf_input_close(input);
    close(fd);
    std::string file;
    for (const char c : notation::to_notation(captured))
      if (c != '\n') file += c;
    EXPECT_EQ(file, memory) << cut;
    EXPECT_NE(memory.find("{BCO 1|1|2|0|0|0|0|}"), std::string::npos) << cut;  // the span read ahead
  }
}

// A text run ends at the first brace, backslash or line end, and its ASCII
// goes out up to the first byte beyond it, wherever they fall in the run:
// runs are looked at several bytes at a time.
TEST(RtfReaderInput, TextRunsEndAtTheirFirstSpecialByte) {
  const std::string filler = "a[]_~z^`";  // bytes next to the specials' values
  struct Ending {
    const char *rtf, *stream;
  };
  const Ending endings[] = {{"\\par b", "{HNL}b"}, {"{}b", "b"}, {"{\\v hidden}b", "b"}, {"\r\nb", "b"},
                            {"\\'41b", "Ab"}, {"\xe9\x7f\x1b\tb", "{XCS 8591|E9|}_{TAB}b"}};
  for (std::size_t n = 0; n <= 24; ++n) {
    std::string text;
    for (std::size_t k = 0; k < n; ++k) text += filler[k % filler.size()];
    for (const Ending &ending : endings) {
      const std::string more = "cdefghij";  // so that the bytes after an ending are looked at by the word
      const ReadResult result = read("{\\rtf1 " + text + ending.rtf + more + "}");
      EXPECT_EQ(result.stream, times + text + ending.stream + more + "{HNL}") << n << " " << ending.rtf;
    }
  }
}

TEST(RtfReaderInput, AFileThatIsNotRtfIsRefused) {
  EXPECT_EQ(read("plain text").status, kiv::rtf_status_not_rtf);
  EXPECT_EQ(read("{\\rt").status, kiv::rtf_status_not_rtf);
  EXPECT_EQ(read("  \r\n{\\rtf1 x}").status, kiv::rtf_status_ok);
  EXPECT_TRUE(kiv::starts_like_rtf(reinterpret_cast<const unsigned char *>(" {\\rtf1"), 7));
  EXPECT_FALSE(kiv::starts_like_rtf(reinterpret_cast<const unsigned char *>("{\\rt"), 4));
}

TEST(RtfReaderInput, HostileInputEndsCleanly) {
  const std::string deep = "{\\rtf1 " + std::string(100000, '{') + "x" + std::string(100000, '}') + "y}";
  const ReadResult nested = read(deep);
  EXPECT_EQ(nested.stream, times + "xy{HNL}");
  for (const std::string rtf : {"{\\rtf1 a}}}}}b", "{\\rtf1{\\b a", "{\\rtf1\\uc2147483647\\u66 abc\\par x",
                                "{\\rtf1\\fs-99999999999999 a\\li-2147483648\\bin-5 b\\bin99999999999 c",
                                "{\\rtf1\\ansicpg999999\\'zz\\'4\\'e9{\\*\\fldinst HYPERLINK \"\x1b\x1f\"}",
                                "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt {\\footnote{\\header x}"}) {
    captured.clear();
    EXPECT_EQ(read(rtf).status, kiv::rtf_status_ok) << rtf;
    EXPECT_TRUE(balanced(captured)) << rtf;
  }
  // Control bytes of the stream in the RTF never reach the text.
  EXPECT_EQ(read("{\\rtf1 a\x1b\x1d\x1e\x1f\\'1b b}").stream, times + "a b{HNL}");
}

}  // namespace
