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

struct HeaderCase {
  const char *label;
  int format;
  std::string chunk;
  std::string header;  // what goes in front of the chunk
};

void PrintTo(const HeaderCase &c, std::ostream *os) { *os << c.label; }

class PictureHeaders : public StreamPictures, public testing::WithParamInterface<HeaderCase> {};

TEST_P(PictureHeaders, AreAddedOnlyWhenMissing) {
  const HeaderCase &c = GetParam();
  const std::string name = dir.file("h.bin");
  const int h = kiv::KIVopen(name.c_str(), kiv::open_create, 2);
  kiv::KIVGraphic picture{c.format, 0, 0, 0, 0, 0, 0, 0, 0};
  const auto *bytes = reinterpret_cast<const unsigned char *>(c.chunk.data());
  kiv::KIVGraphAddHeader(h, bytes, static_cast<int>(c.chunk.size()), &picture);
  kiv::KIVclose(h);
  EXPECT_EQ(test_support::read_file(name), c.header);
}

std::string metafile_without_header() {
  std::string m("\x01\x00\x09\x00\x00\x03", 6);
  m.resize(18, '\0');
  // SetWindowExt(y = 100, x = 200), then the end record.
  m += std::string("\x05\x00\x00\x00\x0C\x02\x64\x00\xC8\x00", 10);
  m += std::string("\x03\x00\x00\x00\x00\x00", 6);
  m += std::string(12, '\0');
  return m;
}

std::string placeable(int width, int height, int units) {
  unsigned char h[22] = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0};
  h[10] = width & 0xFF, h[11] = width >> 8, h[12] = height & 0xFF, h[13] = height >> 8;
  h[14] = units & 0xFF, h[15] = units >> 8;
  int sum = 0;
  for (int i = 0; i < 20; i += 2) sum ^= h[i] | (h[i + 1] << 8);
  h[20] = sum & 0xFF, h[21] = sum >> 8;
  return std::string(reinterpret_cast<char *>(h), 22);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PictureHeaders,
    testing::Values(
        HeaderCase{"wpg1", 606, "\x0F\x06\x01\x00", std::string("\xFF\x57\x50\x43\x10\0\0\0\x01\x16\x01\0\0\0\0\0", 16)},
        HeaderCase{"wpg2", 615, "x", std::string("\xFF\x57\x50\x43\x10\0\0\0\x01\x16\x02\0\0\0\0\0", 16)},
        HeaderCase{"wpg_with_header", 606, "\xFF\x57\x50\x43", ""},
        HeaderCase{"placeable_metafile", 610, "\xD7\xCD\xC6\x9A", ""},
        HeaderCase{"metafile_extent_and_default_units", 610, metafile_without_header(), placeable(200, 100, 1000)},
        HeaderCase{"metafile_without_extent_gets_3000_by_2000", 610, std::string("\x01\x00\x09\x00", 4),
                   placeable(3000, 2000, 1000)},
        HeaderCase{"pict_gets_512_zero_bytes", 602, "short", std::string(512, '\0')},
        HeaderCase{"other_formats_get_none", 513, "BM", ""}),
    [](const auto &info) { return std::string(info.param.label); });

}  // namespace
