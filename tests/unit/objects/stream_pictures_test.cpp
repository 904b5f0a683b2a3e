// Picture codes written into the stream and read back out of it.
#include "objects/stream_pictures.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "objects/graphic_converters.h"
#include "objects/picture_files.h"
#include "runtime/file_layer.h"
#include "runtime/options.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "runtime/strings.h"
#include "support/fake_host.h"
#include "support/script_cases.h"
#include "support/stream_fixture.h"
#include "unit/objects/fake_converters.h"

namespace {

using test_support::assemble;
using test_support::install_converter;

// The bytes a ByteSource hands out.
std::string source_bytes;
std::size_t source_at = 0;
int next_byte() {
  return source_at < source_bytes.size() ? static_cast<unsigned char>(source_bytes[source_at++]) : -1;
}

class StreamPictures : public test_support::StreamFixture {
 protected:
  void SetUp() override {
    StreamFixture::SetUp();
    kiv::reset_graphic_settings();
    kiv::copy_bounded(kiv::settings.SubLaunchPath, sizeof kiv::settings.SubLaunchPath, dir.path().string() + "/");
    source_at = 0;
  }
  void TearDown() override {
    kiv::reset_graphic_settings();
    StreamFixture::TearDown();
  }
  // Runs write with the given picture bytes as its source; the stream it wrote.
  template <typename F>
  std::string written(const std::string &bytes, F write) {
    source_bytes = bytes;
    source_at = 0;
    open_streams("");
    write();
    return close_streams();
  }
  kiv::KIVGraphic g{-1, 0, 1, 100, 200, 2880, 1440, 3000, 1500};
};

TEST_F(StreamPictures, DescriptionsWriteUnknownFormatsAs699AndNegativesAsLow16Bits) {
  g.hPos = -2;
  EXPECT_EQ(written("", [&] { kiv::WritePDS(&g); }), assemble("{PDS 699|1|65534|200|2880|1440|3000|1500|}"));
}

TEST_F(StreamPictures, RawPicturesByFormat) {
  KIVGraphMode = 1;  // passed through unconverted
  g.format = 513;
  EXPECT_EQ(written("\x01\xAB", [&] { EXPECT_EQ(kiv::PutKIVGraphic(&g, next_byte, 0), -1); }),
            assemble("{PDS 513|1|100|200|2880|1440|3000|1500|}{PCT 01AB|}"));
  g.format = 610;
  EXPECT_EQ(written("\x01", [&] { kiv::PutKIVGraphic(&g, next_byte, 1); }),
            assemble("{PDS 610|1|100|200|2880|1440|3000|1500|}{PCT 0|01|}"));
  g.format = 602;
  EXPECT_EQ(written("\x01\x02", [&] { kiv::PutKIVGraphic(&g, next_byte, 1); }),
            assemble("{PIC 0|0|0|72|144|0|01|02|}"));
}

TEST_F(StreamPictures, DroppedPicturesLeaveTheStreamUnchanged) {
  GraphicsOptionFlag |= 0x004;
  EXPECT_EQ(written("\x01", [&] {
              EXPECT_EQ(kiv::PutKIVGraphic(&g, next_byte, 1), -1);
              EXPECT_EQ(kiv::PutKIVGraphicOnDisk(&g, "x.bmp", 1), -1);
            }),
            "");
}

TEST_F(StreamPictures, TargetFormatsAreWrittenAsTheyAre) {
  GraphicTargetFormat[0] = 521;
  GraphicTargetFormatCount = 1;
  g.format = 521;
  EXPECT_EQ(written("\xFF", [&] { EXPECT_EQ(kiv::PutKIVGraphic(&g, next_byte, 1), 0); }),
            assemble("{PDS 521|1|100|200|2880|1440|3000|1500|}{PCT FF|}"));
}

TEST_F(StreamPictures, UnrecognisableDataToAReferenceGets699AndAShortIgr) {
  GraphicsOptionFlag = 0x001 | 0x080;
  std::string stream = written("not a picture at all", [&] { EXPECT_EQ(kiv::PutKIVGraphicData(&g, next_byte, 1), 0); });
  const std::string pds = assemble("{PDS 699|1|100|200|2880|1440|3000|1500|}{IGR ");
  ASSERT_EQ(stream.substr(0, pds.size()), pds);
  const std::string name = stream.substr(pds.size(), stream.size() - pds.size() - 2);
  EXPECT_EQ(stream.substr(stream.size() - 2), "\x1f\x1e");
  EXPECT_EQ(test_support::read_file(name), "not a picture at all");
  RemoveTempFiles();
  EXPECT_FALSE(std::filesystem::exists(name));
}

TEST_F(StreamPictures, ConvertedDataIsWrittenAsFormat0WithTheReportedExtents) {
  install_converter(dir, "g513funx", "printf 'PNG' > \"${2#-t=}\"; printf '720\\n1440\\n' > \"$ICF_EXTENTS_FILE\"");
  g = {513, 0, 0, 0, 0, 0, 720, 0, 0};
  EXPECT_EQ(written("BMdata", [&] { EXPECT_EQ(kiv::PutKIVGraphicData(&g, next_byte, 1), 0); }),
            assemble("{PDS 0|0|0|0|1440|720|1440|720|}{PCT 504E47|}"));
  for (const std::string &name : dir.listing()) EXPECT_NE(name.rfind("KV", 0), 0u) << name << " left behind";
}

TEST_F(StreamPictures, AFailedConversionWritesTheDataUnconverted) {
  install_converter(dir, "g513funx", "exit 3");
  g.format = 513;
  EXPECT_EQ(written("\x42", [&] { EXPECT_EQ(kiv::PutKIVGraphicData(&g, next_byte, 1), 3); }),
            assemble("{PDS 513|1|100|200|2880|1440|3000|1500|}{PCT 42|}"));
}

TEST_F(StreamPictures, FilesOnDiskAsReferenceOrEmbedded) {
  const std::string picture = dir.file("p.gif");
  test_support::write_file(picture, "GIF89a");
  GraphicsOptionFlag = 0x001 | 0x010;
  EXPECT_EQ(written("", [&] { kiv::PutKIVGraphicOnDisk(&g, picture.c_str(), 1); }),
            assemble("{IGR " + picture + "|1|2880|1440|512|1|100|200|3000|1500|}"));
  GraphicsOptionFlag = 0x001 | 0x040;
  EXPECT_EQ(written("", [&] { kiv::PutKIVGraphicOnDisk(&g, picture.c_str(), 1); }),
            assemble("{EGR " + picture + "|2880|1440|474946383961|}"));
}

TEST_F(StreamPictures, EmbeddedFilesAreWrittenBesideTheBaseUnderTheirOwnOrAGeneratedName) {
  const std::string long_name(300, 'n');
  open_streams(assemble("{EGR a/b/pic.gif|10|20|4142|}{EGR c\\\\..|1|2|43|}{EGR " + long_name + "|1|2|44|}"));
  const std::string base = dir.file("out.htm");
  char out[256];
  // A name that would not fit the buffer with its folder gets a generated one too.
  for (const char *expected : {"pic.gif", "GR000000.GRX", "GR000001.GRX"}) {
    ASSERT_EQ(kiv::b_getc(), 0x1B);
    for (int i = 0; i < 4; ++i) kiv::b_getc();
    ASSERT_EQ(kiv::KIVEmbededGrRefToDisk(&g, base.c_str(), out), 0);
    kiv::x_icf();
    EXPECT_EQ(out, dir.file(expected));
  }
  EXPECT_EQ(g.width, 1);
  EXPECT_EQ(test_support::read_file(dir.file("pic.gif")), "AB");
}

TEST_F(StreamPictures, PictureDataIsConvertedIntoGeneratedNamesThatNeverRepeat) {
  install_converter(dir, "g521tunx", test_support::copy_out);
  open_streams(assemble("{PCT 0102|}{PCT 03|}"));
  const std::string base = dir.file("doc.htm");
  test_support::write_file(dir.file("GR000000.JPG"), "taken");
  char out[256];
  for (const char *expected : {"GR000001.JPG", "GR000002.JPG"}) {
    for (int i = 0; i < 5; ++i) kiv::b_getc();
    EXPECT_EQ(kiv::GetKIVGraphicDataToDisk(&g, base.c_str(), 521, "JPG", out), 0);
    kiv::x_icf();
    EXPECT_EQ(out, dir.file(expected));
  }
  EXPECT_EQ(test_support::read_file(dir.file("GR000001.JPG")), "\x01\x02");
  EXPECT_EQ(test_support::read_file(dir.file("GR000002.JPG")), "\x03");
}

TEST_F(StreamPictures, AFailedConversionRemovesItsOutput) {
  install_converter(dir, "g521tunx", "echo half > \"$1\"; exit 1");
  open_streams(assemble("{PCT 0102|}"));
  for (int i = 0; i < 5; ++i) kiv::b_getc();
  char out[256];
  EXPECT_EQ(kiv::GetKIVGraphicDataToDisk(&g, dir.file("doc.htm").c_str(), 521, "JPG", out), 1);
  EXPECT_EQ(out, dir.file("GR000000.JPG"));
  EXPECT_EQ(dir.listing(), (std::vector<std::string>{"g521tunx", "source.bin", "target.bin"}));
}

class PictureHeaders : public StreamPictures, public testing::WithParamInterface<test_support::ScriptCase> {};

TEST_P(PictureHeaders, AreAddedOnlyWhenMissing) {
  const test_support::ScriptCase &c = GetParam();
  const std::string name = dir.file("h.bin");
  const int h = kiv::KIVopen(name.c_str(), kiv::open_create, 2);
  kiv::KIVGraphic picture{std::stoi(c.value_of("format")), 0, 0, 0, 0, 0, 0, 0, 0};
  const std::string chunk = test_support::bytes_of(c.value_of("chunk"));
  kiv::KIVGraphAddHeader(h, reinterpret_cast<const unsigned char *>(chunk.data()), static_cast<int>(chunk.size()),
                         &picture);
  kiv::KIVclose(h);
  EXPECT_EQ(test_support::read_file(name), test_support::bytes_of(c.value_of("header")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PictureHeaders,
    testing::ValuesIn(test_support::load_script_cases(ICF_TEST_DATA_DIR "/objects/picture_headers.case")),
    [](const auto &info) { return info.param.name; });

}  // namespace
