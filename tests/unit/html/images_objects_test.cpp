// Pictures and objects through MainEntryPoint: with fake converter programs
// (scripts in the test's folder), and with the real ones built beside the tools.
#include "html/images_objects.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "objects/ole_objects.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"
#include "unit/objects/fake_converters.h"

namespace {

using test_support::assemble;
using test_support::bitmap_file;
using test_support::install_converter;
using test_support::read_file;

class PicturesInTheWriter : public testing::Test {
 protected:
  // Converts at level 2 with the test's folder as converter folder; the HTML
  // between <BODY> and </BODY>.
  std::string body_bytes(const std::string &bytes, std::vector<std::string> words = {}) {
    test_support::ConversionSettings settings;
    settings.levels = "2";
    settings.options = {"E=" + dir.path().string() + "/", "CMD=TITLE=t"};
    settings.options.insert(settings.options.end(), words.begin(), words.end());
    const auto result = test_support::convert_bytes(dir.path().string(), bytes, settings);
    EXPECT_EQ(result.code, 0);
    const auto start = result.html.find("<BODY>\r\n");
    const auto end = result.html.find("</BODY>");
    if (start == std::string::npos || end == std::string::npos) return result.html;
    return result.html.substr(start + 8, end - start - 8);
  }
  std::string body(const std::string &notation, std::vector<std::string> words = {}) {
    return body_bytes(assemble(notation), std::move(words));
  }
  void expect_no_temporaries() {
    for (const std::string &name : dir.listing()) EXPECT_NE(name.rfind("KV", 0), 0u) << name << " left behind";
  }
  test_support::TempDir dir;
};

TEST_F(PicturesInTheWriter, PictureFilesAreConvertedToCountedJpegNames) {
  install_converter(dir, "g513funx", test_support::copy_in);
  install_converter(dir, "g521tunx", test_support::copy_out);
  test_support::write_file(dir.file("a.bmp"), bitmap_file());
  EXPECT_EQ(body("x{IGR a.bmp|0|2880|1440|0|0|0|0|}{IGR \"a.bmp\"|}"),
            "x<IMG SRC=\"out0.jpg\">\r\n<IMG SRC=\"out1.jpg\">\r\n");
  EXPECT_EQ(read_file(dir.file("out1.jpg")), read_file(dir.file("a.bmp")));
  expect_no_temporaries();
}

TEST_F(PicturesInTheWriter, OnlyAConverterThatCannotStartStopsAPictureFile) {
  install_converter(dir, "g513funx", "exit 1");
  install_converter(dir, "g521tunx", "echo jpeg > \"$1\"");
  test_support::write_file(dir.file("a.bmp"), bitmap_file());
  EXPECT_EQ(body("x{IGR a.bmp|}"), "x<IMG SRC=\"out0.jpg\">\r\n");
  install_converter(dir, "g521tunx", "echo half > \"$1\"; exit 1");
  EXPECT_EQ(body("x{IGR a.bmp|}"), "x\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("out0.jpg")));
  expect_no_temporaries();
}

TEST_F(PicturesInTheWriter, GifAndJpegFilesAreShownAsTheyAre) {
  std::filesystem::create_directory(dir.file("pics"));
  test_support::write_file(dir.file("pics/p.gif"), "GIF89a");
  constexpr char jpeg_start[] = "\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0";
  test_support::write_file(dir.file("j.jpg"), std::string(jpeg_start, sizeof jpeg_start));
  EXPECT_EQ(body("x{IGR pics/p.gif|}{IGR j.jpg|}"), "x<IMG SRC=\"file:///pics/p.gif\">\r\n<IMG SRC=\"j.jpg\">\r\n");
}

TEST_F(PicturesInTheWriter, PictureDataGoesToGeneratedNamesBesideTheTargetOrGfxPath) {
  install_converter(dir, "g521tunx", test_support::copy_out);
  EXPECT_EQ(body("x{PDS 0|0|0|0|0|0|}{PCT 0102|}{PCT 03|}"),
            "x<IMG SRC=\"GR000000.JPG\">\r\n<IMG SRC=\"GR000001.JPG\">\r\n");
  EXPECT_EQ(read_file(dir.file("GR000001.JPG")), "\x03");
  std::filesystem::create_directory(dir.file("pics"));
  // A new conversion counts from 0 again; the taken names are skipped.
  EXPECT_EQ(body("x{PDS 0|0|0|0|0|0|}{PCT 04|}{PCT 05|}", {"CMD=GFXPATH=pics/"}),
            "x<IMG SRC=\"file:///pics/GR000000.JPG\">\r\n<IMG SRC=\"file:///pics/GR000001.JPG\">\r\n");
  EXPECT_EQ(read_file(dir.file("pics/GR000000.JPG")), "\x04");
  expect_no_temporaries();
}

TEST_F(PicturesInTheWriter, TheGifAttemptConvertsTheSameData) {
  install_converter(dir, "g521tunx", "exit 1");
  install_converter(dir, "g512tunx", test_support::copy_out);
  EXPECT_EQ(body("x{PDS 0|0|0|0|0|0|}{PCT 414243|}after"), "x<IMG SRC=\"GR000001.GIF\">\r\nafter\r\n");
  EXPECT_EQ(read_file(dir.file("GR000001.GIF")), "ABC");
  EXPECT_FALSE(std::filesystem::exists(dir.file("GR000000.JPG")));
  expect_no_temporaries();
}

// An OLE code for a static picture object holding a 1 x 1 bitmap.
std::string bitmap_object_code() {
  kiv::KIVOLEObject *o = kiv::MakeEmptyOLE(3, "DIB", nullptr, nullptr);
  o->pres_width = 1440;
  o->pres_height = 720;
  static const std::string dib = test_support::one_pixel_dib();
  static std::size_t at;
  at = 0;
  kiv::PutOLEPresData(o, [] { return at < dib.size() ? static_cast<unsigned char>(dib[at++]) : -1; });
  static std::string code;
  code.clear();
  kiv::WriteOLEICF(o, nullptr, [](int c) {
    code += static_cast<char>(c);
    return c;
  });
  kiv::FreeOLE(o);
  return code;
}

TEST_F(PicturesInTheWriter, AnObjectIsShownByItsPresentation) {
  install_converter(dir, "g513funx", "printf 'png' > \"${2#-t=}\"");
  install_converter(dir, "g521tunx", test_support::copy_out);
  // An option word changes the object setting for its own conversion only.
  EXPECT_EQ(body_bytes(assemble("a") + bitmap_object_code() + assemble("b"), {"OD"}), "ab\r\n");
  EXPECT_EQ(body_bytes(assemble("a") + bitmap_object_code() + assemble("b")), "a<IMG SRC=\"GR000000.JPG\">\r\nb\r\n");
  EXPECT_EQ(read_file(dir.file("GR000000.JPG")), "png");
  expect_no_temporaries();
}

// The programs built beside the tools, linked into the test's folder under the
// names a test wants.
void link_real_converter(const test_support::TempDir &dir, const std::string &name) {
  std::filesystem::create_symlink(std::string(ICF_TOOLS_DIR) + "/picture_converter", dir.file(name));
}

std::string head_of(const std::string &file, std::size_t n) { return read_file(file).substr(0, n); }

TEST_F(PicturesInTheWriter, RealConvertersMakeJpegAndGifFiles) {
  link_real_converter(dir, "g513funx");
  link_real_converter(dir, "g521tunx");
  EXPECT_EQ(body_bytes(assemble("a") + bitmap_object_code()), "a<IMG SRC=\"GR000000.JPG\">\r\n");
  EXPECT_EQ(head_of(dir.file("GR000000.JPG"), 3), "\xFF\xD8\xFF");

  test_support::write_file(dir.file("a.bmp"), bitmap_file());
  EXPECT_EQ(body("x{IGR a.bmp|}"), "x<IMG SRC=\"out0.jpg\">\r\n");
  EXPECT_EQ(head_of(dir.file("out0.jpg"), 3), "\xFF\xD8\xFF");
  // GIF when there is no JPEG converter; the failed JPEG attempt used a number too.
  std::filesystem::remove(dir.file("g521tunx"));
  link_real_converter(dir, "g512tunx");
  EXPECT_EQ(body_bytes(assemble("a") + bitmap_object_code()), "a<IMG SRC=\"GR000002.GIF\">\r\n");
  EXPECT_EQ(head_of(dir.file("GR000002.GIF"), 4), "GIF8");
  expect_no_temporaries();
}

TEST_F(PicturesInTheWriter, RealConvertersRefuseDataOfAnotherFormat) {
  link_real_converter(dir, "g513funx");
  link_real_converter(dir, "g521tunx");
  std::string broken = bitmap_file();
  broken[28] = 7;  // no such bit count
  test_support::write_file(dir.file("fake.bmp"), broken);
  EXPECT_EQ(body("x{IGR fake.bmp|}"), "x\r\n");
  test_support::write_file(dir.file("in.png"), "not a png");
  const std::string converter = dir.file("g504funx");
  std::filesystem::create_symlink(std::string(ICF_TOOLS_DIR) + "/picture_converter", converter);
  const std::string command = converter + " " + dir.file("in.png") + " -t=" + dir.file("out.png") + " -v0 -n";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 9);
}

}  // namespace
