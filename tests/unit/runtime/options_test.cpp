// Option words and configuration files.
#include "runtime/options.h"

#include <gtest/gtest.h>

#include "runtime/config_files.h"
#include "runtime/error_exit.h"
#include "support/stream_fixture.h"

namespace {

class Options : public test_support::StreamFixture {
 protected:
  std::uint32_t parse(const char *word) { return kiv::CmdParseLine(word); }
};

struct WordCase {
  const char *word;
  std::uint32_t bits;
};

class OptionBits : public Options, public testing::WithParamInterface<WordCase> {};

TEST_P(OptionBits, WordReturnsItsBits) { EXPECT_EQ(parse(GetParam().word), GetParam().bits) << GetParam().word; }

INSTANTIATE_TEST_SUITE_P(
    Words, OptionBits,
    testing::Values(WordCase{"-A", 0x4000}, WordCase{"B", 0x1}, WordCase{"-BP=100", 0}, WordCase{"-BT", 0},
                    WordCase{"-I", 0x2}, WordCase{"-IF", 0x2000}, WordCase{"-INx=5", 0x400}, WordCase{"-INx", 0},
                    WordCase{"-N", 0x80}, WordCase{"-NR1-5", 0x200}, WordCase{"-P", 0x40}, WordCase{"-PC", 0x28},
                    WordCase{"-PE", 0x8}, WordCase{"/R1-2", 0x100}, WordCase{"-TW", 0x1000}, WordCase{"-T=x", 0},
                    WordCase{"-OUab=3", 0x400}, WordCase{"-H", 0}, WordCase{"-9", 0}, WordCase{"", 0}));

TEST_F(Options, FileNamesAndLevelsWithOrWithoutDash) {
  parse("T=some.icf");
  EXPECT_STREQ(kiv::settings.icfname, "some.icf");
  parse("-t=other.icf");
  EXPECT_STREQ(kiv::settings.icfname, "other.icf");
  parse("-PE=\"list.txt\"");
  EXPECT_STREQ(kiv::settings.excname, "list.txt");
  parse("-v3pX");
  EXPECT_STREQ(kiv::settings.ver_lvl, "3pX");
  parse(("-V" + std::string(40, '4')).c_str());
  EXPECT_EQ(std::string(kiv::settings.ver_lvl), std::string(29, '4'));  // level text is cut at 29
  parse(("-T=" + std::string(255, 'n')).c_str());
  EXPECT_EQ(std::string(kiv::settings.icfname), std::string(255, 'n'));
  // A longer name is not cut into another file's name: it is not taken at all.
  parse(("-T=" + std::string(256, 'n')).c_str());
  EXPECT_STREQ(kiv::settings.icfname, "");
  parse(("-PE=" + std::string(300, 'e')).c_str());
  EXPECT_STREQ(kiv::settings.excname, "");
}

TEST_F(Options, SortCriteriaContinueWithPlainWords) {
  parse("-Sfield");
  parse("more");
  parse("words");
  EXPECT_STREQ(kiv::settings.SortCriteria, "field more words");
  EXPECT_EQ(parse("-N"), 0x80u);  // a dash ends the continuation
  parse("plain");
  EXPECT_STREQ(kiv::settings.SortCriteria, "field more words");
  parse("-Sx");  // a single character does nothing
  EXPECT_STREQ(kiv::settings.SortCriteria, "field more words");
}

TEST_F(Options, NumbersAndSwitches) {
  parse("-CP850");
  EXPECT_EQ(kiv::settings.KIVCodePage, 850);
  parse("-CP50");
  EXPECT_EQ(kiv::settings.KIVCodePage, 850);
  parse("-GS640x480");
  EXPECT_EQ(kiv::settings.KIVGraphicFrameWidth, 640);
  EXPECT_EQ(kiv::settings.KIVGraphicFrameHeight, 480);
  parse("-PID=1234");
  EXPECT_EQ(kiv::settings.display_pid, 1234);
  parse("-Q7");
  EXPECT_EQ(kiv::settings.IPCMsgQueueID, 7);
  parse("-GI=0a0B1c2D");
  EXPECT_EQ(kiv::settings.GeneralInfoPtr, (std::array<unsigned char, 4>{0x0A, 0x0B, 0x1C, 0x2D}));
  parse("-DT");
  EXPECT_EQ(kiv::settings.DeleteICFFile, 0);
  parse("-SETxPabc=A");
  EXPECT_EQ(kiv::settings.DefSettings[1], 2);
  parse("GTL=5");  // the converter time limit is opt-in
  EXPECT_EQ(kiv::settings.converter_time_limit, 5);
  parse("GTL=0");
  EXPECT_EQ(kiv::settings.converter_time_limit, 0);
  EXPECT_EQ(kiv::make_addr("1234:abcd"), 0x1234ABCDu);  // addresses join two hex numbers
  EXPECT_EQ(kiv::make_addr("ff"), 0xFFu);
  char first[] = "dir.v2/report.htm";  // the body text name defaults to the first parameter's
  kiv::settings.FirstParameterFileName = first;
  parse("-BT");
  EXPECT_STREQ(kiv::settings.BodyTextFileName, "dir.v2/report.bti");
}

TEST_F(Options, GraphicAndObjectWordsSetTheirBits) {
  kiv::reset_graphic_settings();
  parse("-GRER");
  parse("-GRE");
  parse("-GVRH");
  EXPECT_EQ(GraphicsOptionFlag, 0x1 | 0x40 | 0x20 | 0x400 | 0x80 | 0x10);
  parse("-OO");
  parse("-OD");
  EXPECT_EQ(OLEOptionFlag, 0x1 | 0x8);
  parse("-G1");
  EXPECT_EQ(GraphicsOptionFlag, 0);
  EXPECT_EQ(KIVGraphMode, 1);
  for (int i = 0; i < 50; ++i) parse("-GTF=512");
  EXPECT_EQ(GraphicTargetFormatCount, 49);
  kiv::reset_graphic_settings();
}

TEST_F(Options, NameValuePairsAreFoundWithoutRegardToCase) {
  parse("-CMD=TITLE=My Title");
  parse("CMD=GFXPATH=pics");
  const char *value = nullptr;
  EXPECT_EQ(kiv::kivGetCmdLineOption("title", &value), 1);
  EXPECT_STREQ(value, "My Title");
  EXPECT_EQ(kiv::kivGetCmdLineOption("GfxPath", &value), 1);
  EXPECT_STREQ(value, "pics");
  value = "unchanged";
  EXPECT_EQ(kiv::kivGetCmdLineOption("missing", &value), 0);
  EXPECT_STREQ(value, "unchanged");
  for (int i = 0; i < 30; ++i) parse(("-CMD=N" + std::to_string(i) + "=v").c_str());
  EXPECT_EQ(kiv::settings.kivCmdCount, kiv::name_value_slots);
}

TEST_F(Options, ConfigurationFilesStopAtTheEndOfFileMarkAndAtThemselves) {
  const std::string config = dir.file("words.cfg");
  test_support::write_file(config, "  PE=\"listed.lst\"\r\n\r\nN\n\x1aTW\n");
  EXPECT_EQ(kiv::LoadConfiguration(config.c_str()), 0x88u);
  EXPECT_STREQ(kiv::settings.excname, "listed.lst");
  EXPECT_EQ(kiv::LoadConfiguration(dir.file("missing.cfg").c_str()), 0u);
  EXPECT_EQ(parse(("-C=" + config).c_str()), 0x88u);
  const std::string loop = dir.file("loop.cfg");  // a file naming itself stops
  test_support::write_file(loop, "C=" + loop + "\nTW\n");
  EXPECT_EQ(kiv::LoadConfiguration(loop.c_str()), 0x1000u);
  char line[8];  // long lines are cut
  EXPECT_STREQ(kiv::CopyConfigurationOption("abcdefghijkl\r\n\nnext", line, sizeof line), "next");
  EXPECT_STREQ(line, "abcdefg");
}

TEST_F(Options, ReferenceListLinesAndFixedNames) {
  const std::string list = dir.file("refs.lst");
  parse(("-RL=" + list).c_str());
  kiv::KIVRefListAddName("pic1.gif", 2);
  kiv::KIVRefListAddName("plain.txt", 0);
  kiv::KIVRefListAddName("odd.bin", 42);
  EXPECT_EQ(test_support::read_file(list),
            std::string("pic1.gif\0graphic\r\nplain.txt\0\r\nodd.bin\0?\r\n", 41));
  char out[256];
  kiv::FixReferenceFileName("docs/main.htm", "c:\\tmp\\pic.gif", out, sizeof out);
  EXPECT_STREQ(out, "c:\\tmp\\pic.gif");
  parse("-RF");
  kiv::FixReferenceFileName("docs/main.htm", "c:\\tmp\\pic.gif", out, sizeof out);
  EXPECT_STREQ(out, "docs/pic.gif");
  parse("-RF=base");
  kiv::FixReferenceFileName("docs/main.htm", "x/pic.gif", out, sizeof out);
  EXPECT_STREQ(out, "base\\pic.gif");
}

TEST_F(Options, VersionWordEndsTheConversionWithZero) {
  testing::internal::CaptureStdout();
  try {
    parse("-Z");
    ADD_FAILURE() << "Z returned";
  } catch (const kiv::ExitRequest &request) {
    EXPECT_EQ(request.code, 0);
  }
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Source Control Version: Converter Code = 7.3.26"),
            std::string::npos);
}

}  // namespace
