// Objects through MainEntryPoint: shown by their presentation, with a fake
// converter program (a script in the test's folder) and with the real ones
// built beside the tools. (Picture files and data are command cases.)
#include "html/images_objects.h"

#include <gtest/gtest.h>

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

}  // namespace
