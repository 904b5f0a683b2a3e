// Pictures of RTF documents. The reader program runs as icf2html runs it, from
// a folder that holds converter scripts which copy the picture (so a converted
// picture's data is its own bytes, under format 0) for PNG and JPEG only; a
// metafile then has no converter and goes in unconverted. Afterwards icf2html
// converts documents with pictures through the real converter programs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "stream_notation.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"
#include "unit/objects/fake_converters.h"

namespace {

using test_support::read_file;
using test_support::write_file;

const std::string tools = ICF_TOOLS_DIR;
const std::string times = "{SPF 0|0|0|0|240|Times Roman|}";

struct Case {
  const char *name;
  const char *rtf;
  std::string stream;
};

class RtfPictureStreams : public testing::TestWithParam<Case> {
 protected:
  test_support::TempDir dir;
};

TEST_P(RtfPictureStreams, WriteTheExpectedCodesAndLeaveNoFiles) {
  std::filesystem::create_symlink(tools + "/w019funx", dir.file("w019funx"));
  test_support::install_converter(dir, "g504funx", test_support::copy_in);
  test_support::install_converter(dir, "g521funx", test_support::copy_in);
  test_support::install_converter(dir, "g513funx", test_support::copy_in);
  write_file(dir.file("in.rtf"), GetParam().rtf);
  const auto run = test_support::run_tool(dir.file("w019funx") + " " + dir.file("in.rtf") + " -t=" +
                                          dir.file("out.icf") + " -v0 -n");
  ASSERT_EQ(run.status, 0) << run.output;
  std::string stream;
  for (const char c : notation::to_notation(read_file(dir.file("out.icf"))))
    if (c != '\n') stream += c;
  EXPECT_EQ(stream, GetParam().stream);
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"g504funx", "g513funx", "g521funx", "in.rtf", "out.icf", "w019funx"}));
}

const Case cases[] = {
    {"hex_data_across_lines_with_an_odd_last_digit", "{\\rtf1 a{\\pict\\pngblip\\picwgoal200\\pichgoal100 01 02\n03x0}b}",
     times + "a{PDS 0|0|0|0|200|100|0|0|}{PCT 010203|}b{HNL}"},
    {"binary_data_and_groups_inside_the_data", "{\\rtf1{\\pict\\jpegblip 01{\\*\\blipuid ff}\\bin2 }{02}z}",
     times + "{PDS 0|0|0|0|0|0|0|0|}{PCT 017D7B02|}z{HNL}"},
    {"binary_data_past_the_end_of_the_file", "{\\rtf1 a{\\pict\\pngblip\\bin100 abc",
     times + "a{PDS 0|0|0|0|0|0|0|0|}{PCT 616263|}{HNL}"},
    {"sizes_from_goals_and_scales_or_from_pixels",
     "{\\rtf1{\\pict\\pngblip\\picwgoal1000\\pichgoal400\\picscalex50\\picscaley200 01}"
     "{\\pict\\jpegblip\\picw10\\pich20\\picscalex-5 02}}",
     times + "{PDS 0|0|0|0|500|800|0|0|}{PCT 01|}{PDS 0|0|0|0|1|300|0|0|}{PCT 02|}{HNL}"},
    {"a_bitmap_is_taken_and_its_fallback_skipped",
     "{\\rtf1{\\*\\shppict{\\pict\\pngblip 01}}{\\nonshppict{\\pict\\wmetafile8 02}}}",
     times + "{PDS 0|0|0|0|0|0|0|0|}{PCT 01|}{HNL}"},
    {"a_metafile_gives_way_to_a_bitmap_fallback_but_not_to_another_metafile",
     "{\\rtf1{\\*\\shppict{\\pict\\emfblip 01}}{\\nonshppict{\\pict\\pngblip 02}}"
     "{\\*\\shppict{\\pict\\emfblip 03}}{\\nonshppict{\\pict\\wmetafile8 04}}}",
     times + "{PDS 699|0|0|0|0|0|0|0|}{PCT 01|}{PDS 0|0|0|0|0|0|0|0|}{PCT 02|}{PDS 699|0|0|0|0|0|0|0|}{PCT 03|}{HNL}"},
    {"a_fallback_alone_and_a_metafile_without_converter_go_in_as_they_are",
     "{\\rtf1{\\nonshppict{\\pict\\wmetafile8 0100}}}", times + "{PDS 610|0|0|0|0|0|0|0|}{PCT 0|0100|}{HNL}"},
    // A shape's picture is shown, and its result, the same picture again, is
    // not; a shape without a picture shows its result.
    {"a_shape_shows_its_picture_once",
     "{\\rtf1 a{\\shp{\\*\\shpinst\\shpleft0{\\sp{\\sn shapeType}{\\sv 75}}{\\sp{\\sn pib}{\\sv {\\pict\\pngblip 01}}}"
     "{\\shptxt no}}{\\shprslt{\\pict\\pngblip 02}}}b{\\shp{\\*\\shpinst{\\sp{\\sn fillColor}{\\sv 255}}}"
     "{\\shprslt c{\\pict\\jpegblip 03}}}d}",
     times + "a{PDS 0|0|0|0|0|0|0|0|}{PCT 01|}bc{PDS 0|0|0|0|0|0|0|0|}{PCT 03|}d{HNL}"},
    // Bitmaps without a file header go to the BMP converter as BMP files: a
    // device-independent one behind a file header that points past its
    // palette, a device-dependent one with headers, a palette of black and
    // white, and its rows of two bytes padded to four.
    {"bitmaps_without_a_file_header_become_bmp_files",
     "{\\rtf1{\\pict\\dibitmap0\\picw1\\pich1 28000000 01000000 01000000 0100 0100 00000000 00000000 00000000"
     " 00000000 02000000 00000000 000000ff ffffff00 80000000}"
     "{\\pict\\wbitmap0\\picw9\\pich2\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes2 ff80 0100}}",
     times + "{PDS 0|0|0|0|15|15|0|0|}{PCT 424D00000000000000003E000000"
             "28000000010000000100000001000100000000000000000000000000000000000200000000000000"
             "000000FFFFFFFF0080000000|}"
             "{PDS 0|0|0|0|135|30|0|0|}{PCT 424D46000000000000003E000000"
             "2800000009000000FEFFFFFF01000100000000000000000000000000000000000000000000000000"
             "00000000FFFFFF00FF80000001000000|}{HNL}"},
    {"hidden_and_empty_pictures_write_nothing", "{\\rtf1 a{\\v{\\pict\\pngblip 01}}{\\pict\\pngblip}b}",
     times + "ab{HNL}"},
};

INSTANTIATE_TEST_SUITE_P(Documents, RtfPictureStreams, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

std::string hex_of(const std::string &bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    if (hex.size() % 65 == 64) hex += '\n';  // lines as RTF writers break them
    hex += digits[static_cast<unsigned char>(c) >> 4];
    hex += digits[static_cast<unsigned char>(c) & 15];
  }
  return hex;
}

// A PNG in hex with its metafile fallback, and a JPEG in binary: two IMG
// elements naming JPEG files that exist, made by the converter programs, and
// nothing of the picture data in the text.
TEST(RtfPicturesEndToEnd, BecomePictureFilesBesideThePage) {
  test_support::TempDir dir;
  write_file(dir.file("a.bmp"), test_support::bitmap_file());
  ASSERT_EQ(test_support::run_tool(tools + "/g513funx " + dir.file("a.bmp") + " -t=" + dir.file("a.png") + " -v0 -n").status, 0);
  ASSERT_EQ(test_support::run_tool(tools + "/g521tunx " + dir.file("a.jpg") + " -t=" + dir.file("a.png") + " -v0 -n").status, 0);
  const std::string png = read_file(dir.file("a.png"));
  const std::string jpeg = read_file(dir.file("a.jpg"));
  ASSERT_EQ(png.substr(0, 4), "\x89PNG");
  std::filesystem::remove(dir.file("a.bmp"));
  std::filesystem::remove(dir.file("a.jpg"));
  std::filesystem::remove(dir.file("a.png"));

  write_file(dir.file("doc.rtf"), "{\\rtf1 before {\\*\\shppict{\\pict\\pngblip\\picwgoal600\\pichgoal300\n" + hex_of(png) +
                                      "}}{\\nonshppict{\\pict\\wmetafile8 0100090000}} middle {\\pict\\jpegblip\\bin" +
                                      std::to_string(jpeg.size()) + " " + jpeg + "} after\\par}");
  // Converted inside its folder, as the pictures' names are then relative.
  const auto run = test_support::run_tool("cd " + dir.path().string() + " && " + tools + "/icf2html doc.rtf out.html");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string html = read_file(dir.file("out.html"));
  EXPECT_NE(html.find("before <IMG SRC=\"GR000000.JPG\" WIDTH=30 HEIGHT=15>"), std::string::npos) << html;
  EXPECT_NE(html.find(" middle <IMG SRC=\"GR000001.JPG\""), std::string::npos) << html;
  EXPECT_NE(html.find(" after"), std::string::npos) << html;
  EXPECT_EQ(html.find("89504e"), std::string::npos);
  EXPECT_EQ(html.find("JFIF"), std::string::npos);
  for (const char *name : {"GR000000.JPG", "GR000001.JPG"})
    EXPECT_EQ(read_file(dir.file(name)).substr(0, 3), "\xFF\xD8\xFF") << name;
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"GR000000.JPG", "GR000001.JPG", "doc.rtf", "out.html"}));
}

// Starts the reader program on input with the stream target given, in the
// environment given; its process id.
pid_t start_reader(const std::string &program, const std::string &input, const std::string &stream,
                   char *const *environment) {
  const std::string target = "-t=" + stream;
  char *const argv[] = {const_cast<char *>(program.c_str()), const_cast<char *>(input.c_str()),
                        const_cast<char *>(target.c_str()), nullptr};
  pid_t pid = 0;
  return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environment) == 0 ? pid : -1;
}

// Waits up to five seconds for done() to hold; whether it does.
template <typename Done>
bool wait_until(Done done) {
  for (int k = 0; k < 500; ++k) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// Kills the reader with signal; whether it died of it.
bool ended_by(pid_t reader, int signal) {
  kill(reader, signal);
  int status = 0;
  return waitpid(reader, &status, 0) == reader && WIFSIGNALED(status) && WTERMSIG(status) == signal;
}

// A reader ended by SIGTERM, SIGINT or SIGHUP while it writes a picture's
// temporary file removes it and the stream file, and dies of the signal. The
// RTF comes down a FIFO that stops in the middle of the picture's data.
TEST(RtfPictureSignals, AKilledReaderLeavesNoFiles) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    test_support::TempDir dir;
    test_support::install_converter(dir, "g504funx", test_support::copy_in);
    const std::string fifo = dir.file("in.rtf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const pid_t pid = start_reader(tools + "/w019funx", fifo, dir.file("out.icf"), environ);
    ASSERT_NE(pid, -1);
    const int fd = open(fifo.c_str(), O_WRONLY);
    ASSERT_NE(fd, -1);
    const std::string start = "{\\rtf1 a{\\pict\\pngblip " + std::string(20000, '7');
    ASSERT_EQ(write(fd, start.data(), start.size()), static_cast<ssize_t>(start.size()));
    const bool temporary_made = wait_until([&dir] {
      for (const std::string &name : dir.listing())
        if (name.starts_with("KV")) return true;
      return false;
    });
    EXPECT_TRUE(temporary_made) << "the picture's temporary file was not made";
    EXPECT_TRUE(ended_by(pid, signal)) << "signal " << signal;
    close(fd);
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"g504funx", "in.rtf"})) << "signal " << signal;
  }
}

// Whether a process runs (a zombie has ended).
bool running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const auto close = line.rfind(") ");
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z' && line[close + 2] != 'X';
}

// A reader ended by a signal while a converter program it started runs ends
// the converter too, before it removes the files: the converter, which would
// write its whole output a few seconds later, writes nothing after the
// reader's end, and the extents file in TMPDIR goes as well.
TEST(RtfPictureSignals, AKilledReaderStopsItsConverter) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    test_support::TempDir dir, side;
    std::filesystem::create_symlink(tools + "/w019funx", dir.file("w019funx"));
    test_support::install_converter(dir, "g504funx",
                                    "out=\"${2#-t=}\"; printf partial > \"$out\"; echo $$ > \"$TMPDIR/pid.new\"\n"
                                    "mv \"$TMPDIR/pid.new\" \"$TMPDIR/pid\"; sleep 3 >/dev/null 2>&1; printf whole > \"$out\"");
    write_file(dir.file("in.rtf"), "{\\rtf1 a{\\pict\\pngblip 89504e470d0a1a0a}}");
    std::vector<std::string> variables = {"TMPDIR=" + side.path().string()};
    for (char **v = environ; *v != nullptr; ++v)
      if (!std::string_view(*v).starts_with("TMPDIR=")) variables.emplace_back(*v);
    std::vector<char *> environment;
    for (std::string &v : variables) environment.push_back(v.data());
    environment.push_back(nullptr);
    const pid_t pid = start_reader(dir.file("w019funx"), dir.file("in.rtf"), dir.file("out.icf"), environment.data());
    ASSERT_NE(pid, -1);
    const std::string pid_file = side.file("pid");
    if (!wait_until([&pid_file] { return std::filesystem::exists(pid_file); })) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      FAIL() << "the converter did not start";
    }
    const pid_t converter = std::stoi(read_file(pid_file));
    EXPECT_TRUE(ended_by(pid, signal)) << "signal " << signal;
    EXPECT_TRUE(wait_until([converter] { return !running(converter); })) << "the converter still runs";
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"g504funx", "in.rtf", "w019funx"})) << "signal " << signal;
    EXPECT_EQ(side.listing(), (std::vector<std::string>{"pid"})) << "signal " << signal;
  }
}

}  // namespace
