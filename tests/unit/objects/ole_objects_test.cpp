// OLE objects: both forms, the accessors, extraction and conversion into codes.
#include "objects/ole_objects.h"

#include <gtest/gtest.h>

#include "objects/picture_files.h"
#include "runtime/error_exit.h"
#include "runtime/memory.h"
#include "stream/code_numbers.h"
#include "runtime/options.h"
#include "runtime/strings.h"
#include "stream/buffered_io.h"
#include "stream/temp_buffers.h"
#include "support/fake_host.h"
#include "support/script_cases.h"
#include "support/stream_fixture.h"
#include "unit/objects/fake_converters.h"

namespace {

using test_support::assemble;

std::string sunk;
int sink(int c) {
  sunk += static_cast<char>(c);
  return c;
}
std::string given;
std::size_t given_at = 0;
int source() { return given_at < given.size() ? static_cast<unsigned char>(given[given_at++]) : -1; }
void give(const std::string &bytes) {
  given = bytes;
  given_at = 0;
}

class OleObjects : public test_support::StreamFixture {
 protected:
  void SetUp() override {
    StreamFixture::SetUp();
    kiv::reset_graphic_settings();
    sunk.clear();
    kiv::copy_bounded(kiv::settings.SubLaunchPath, sizeof kiv::settings.SubLaunchPath, dir.path().string() + "/");
  }
  void TearDown() override {
    for (kiv::KIVOLEObject *o : made) kiv::FreeOLE(o);
    kiv::reset_graphic_settings();
    StreamFixture::TearDown();
  }
  kiv::KIVOLEObject *keep(kiv::KIVOLEObject *o) {
    made.push_back(o);
    return o;
  }
  // An embedded object with native data and a DIB presentation.
  kiv::KIVOLEObject *embedded(const std::string &native, const std::string &pres) {
    kiv::KIVOLEObject *o = keep(kiv::MakeEmptyOLE(2, "Paint", "doc.pnt", "item"));
    give(native);
    kiv::PutOLENativeData(o, source);
    o->pres = kiv::MakeEmptyOLE(5, "DIB", nullptr, nullptr);
    o->pres->pres_width = -2880;
    o->pres->pres_height = 1440;
    give(pres);
    kiv::PutOLEPresData(o, source);
    return o;
  }
  std::vector<kiv::KIVOLEObject *> made;
};

void expect_same(const kiv::KIVOLEObject *a, const kiv::KIVOLEObject *b) {
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(kiv::GetOLEType(a), kiv::GetOLEType(b));
  EXPECT_EQ(kiv::SizeofOLE(a), kiv::SizeofOLE(b));
  for (auto get : {kiv::GetOLEClassString, kiv::GetOLETopicString, kiv::GetOLEItemString}) {
    const char *x = get(a), *y = get(b);
    EXPECT_STREQ(x ? x : "", y ? y : "");
  }
  EXPECT_EQ(kiv::GetOLEPresDataWidth(a), kiv::GetOLEPresDataWidth(b));
  EXPECT_EQ(kiv::GetOLEPresDataHeight(a), kiv::GetOLEPresDataHeight(b));
  EXPECT_EQ(kiv::SizeofOLENativeData(a), kiv::SizeofOLENativeData(b));
  EXPECT_EQ(kiv::SizeofOLEPresData(a), kiv::SizeofOLEPresData(b));
}

std::string native_of(kiv::KIVOLEObject *o) {
  sunk.clear();
  kiv::GetOLENativeData(o, sink);
  return sunk;
}

TEST_F(OleObjects, AnEmptyObjectIsEightBytes) {
  kiv::KIVOLEObject *o = keep(kiv::MakeEmptyOLE(0, nullptr, nullptr, nullptr));
  kiv::WriteOLE(o, sink);
  EXPECT_EQ(sunk, std::string("\x01\x05\0\0\0\0\0\0", 8));
  EXPECT_EQ(kiv::SizeofOLE(o), 8);
  EXPECT_EQ(kiv::SizeofOLE(nullptr), 0);
  EXPECT_EQ(kiv::MakeEmptyOLE(4, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(OleObjects, BothFormsRoundTripAndKeepTheData) {
  kiv::KIVOLEObject *o = embedded("native bytes", "dib bytes");
  kiv::WriteOLE(o, sink);
  EXPECT_EQ(static_cast<std::int32_t>(sunk.size()), kiv::SizeofOLE(o));
  give(sunk);
  kiv::KIVOLEObject *binary = keep(kiv::ReadOLE(source));
  expect_same(o, binary);
  EXPECT_EQ(native_of(binary), "native bytes");

  sunk.clear();
  kiv::KIVOLEHeader header{7, 1, 2, 3, 4, 5, 6, 8, 9};
  kiv::WriteOLEICF(o, &header, sink);
  EXPECT_EQ(sunk.substr(0, 5), "\x1b\x1dOLE");
  EXPECT_EQ(sunk.substr(5, 4), "9\x1f" "7\x1f");
  EXPECT_EQ(sunk.substr(sunk.size() - 2), "\x1f\x1e");
  EXPECT_EQ(kiv::ole.in_ole, 0);
  give(sunk.substr(5));
  kiv::KIVOLEHeader *read_header = nullptr;
  kiv::KIVOLEObject *stream = keep(kiv::ReadOLEICF(&read_header, source));
  expect_same(o, stream);
  ASSERT_NE(read_header, nullptr);
  EXPECT_EQ(read_header->hdr9, 9);
  EXPECT_EQ(read_header->height, 4);
  kiv::KIVfree(read_header);
  // The written object still holds its data.
  EXPECT_EQ(native_of(o), "native bytes");
  EXPECT_EQ(native_of(stream), "native bytes");
}

TEST_F(OleObjects, SizesFollowTheForm) {
  kiv::KIVOLEObject *linked = keep(kiv::MakeEmptyOLE(1, "Cls", "file.doc", "it"));
  EXPECT_EQ(kiv::SizeofOLE(linked), 32 + 4 + 9 + 3 + 1 + 8);
  kiv::KIVOLEObject *o = embedded("12345", "abc");
  EXPECT_EQ(kiv::SizeofOLE(o), 24 + 6 + 8 + 5 + 5 + (24 + 4 + 3));
  EXPECT_EQ(kiv::GetOLEPresDataWidth(o), 2880);
  EXPECT_EQ(kiv::IsLinkedOLE(linked), 1);
  EXPECT_EQ(kiv::IsLinkedOLE(o), 0);
  EXPECT_EQ(kiv::IsLinkedOLE(nullptr), -1);
  EXPECT_EQ(kiv::GetOLEClipboardFormatString(o), nullptr);
}

// The rest of an OLE code after its letters, from the stream notation.
std::string code_rest(const std::string &notation) { return assemble("{OLE " + notation + "}").substr(5); }

class OleCodes : public OleObjects, public testing::WithParamInterface<test_support::ScriptCase> {};

TEST_P(OleCodes, GiveTheirHeaderOrAreRefusedAndReadNoFurther) {
  const test_support::ScriptCase &c = GetParam();
  open_streams(code_rest(c.value_of("code")) + assemble("after"));
  kiv::KIVOLEHeader *header = nullptr;
  kiv::KIVOLEObject *object = keep(kiv::ReadOLEICF(&header, kiv::b_getc));
  if (c.has("header")) {
    ASSERT_NE(object, nullptr);
    ASSERT_NE(header, nullptr);
    std::vector<std::string> read;
    for (const std::int32_t v : {header->hdr1, header->frameWidth, header->frameHeight, header->width, header->height,
                                 header->hdr6, header->hdr7, header->hdr8, header->hdr9})
      read.push_back(std::to_string(v));
    EXPECT_EQ(read, test_support::words_of(c.value_of("header")));
  } else {
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(kiv::ole.in_ole, 0);
  }
  kiv::KIVfree(header);
  kiv::x_icf();
  EXPECT_EQ(read_rest(), "after");
  close_streams();
}

INSTANTIATE_TEST_SUITE_P(Table, OleCodes,
                         testing::ValuesIn(test_support::load_script_cases(ICF_TEST_DATA_DIR "/objects/ole_codes.case")),
                         [](const auto &info) { return info.param.name; });

TEST_F(OleObjects, NestingIsBounded) {
  // Chains of embedded objects without strings or data, each the presentation
  // of the one before, ended by an object of no type: objects nest at most
  // eight deep below the top one.
  for (const int nested : {8, 9}) {
    std::string chain = "5|0|0|0|0|0|";
    for (int i = 0; i < nested; ++i) chain += "0105000002000000" + std::string(32, '0');
    give(code_rest(chain + "0105000000000000|"));
    kiv::KIVOLEHeader *header = nullptr;
    EXPECT_EQ(keep(kiv::ReadOLEICF(&header, source)) != nullptr, nested == 8) << nested;
    kiv::KIVfree(header);
  }
}

TEST_F(OleObjects, AnUnknownTypeEndsTheConversionWith5) {
  give(std::string("\x01\x05\0\0\x04\0\0\0", 8));
  try {
    kiv::ReadOLE(source);
    ADD_FAILURE() << "no exit";
  } catch (const kiv::ExitRequest &request) {
    EXPECT_EQ(request.code, 5);
  }
  give(std::string("\x01\x03\0\0\x00\0\0\0", 8));
  EXPECT_EQ(kiv::ReadOLE(source), nullptr);  // a version ReadOLE does not take
}

TEST_F(OleObjects, DataGoesToFilesAndComesBack) {
  kiv::KIVOLEObject *o = embedded("native", std::string("meta-hdrpicture"));
  o->pres->class_name = {};
  o->pres->class_name.text = kiv::new_string("METAFILEPICT");
  o->pres->class_name.length = 13;
  const std::string file = dir.file("x.bin");
  EXPECT_EQ(kiv::ExtractOLEPresDataToDisk(o, file.c_str(), nullptr), 0);
  EXPECT_EQ(test_support::read_file(file), "picture");  // the metafile-picture header is left out
  EXPECT_EQ(kiv::ExtractOLENativeDataToDisk(o, file.c_str(), nullptr), 0);
  EXPECT_EQ(test_support::read_file(file), "native");
  test_support::write_file(file, std::string(1500, 'z'));
  EXPECT_EQ(kiv::ExtractOLENativeDataFromDisk(o, file.c_str()), 0);
  EXPECT_EQ(kiv::SizeofOLENativeData(o), 1500);
  EXPECT_EQ(kiv::ExtractOLEPresDataToDisk(nullptr, file.c_str(), nullptr), -1);
  EXPECT_EQ(kiv::ExtractOLENativeDataToDisk(o->pres, file.c_str(), nullptr), -1);
}

TEST_F(OleObjects, ADibPresentationBecomesABitmapFile) {
  kiv::KIVOLEObject *o = embedded("", test_support::one_pixel_dib());
  const std::string file = dir.file("x.bmp");
  ASSERT_EQ(kiv::ExtractOLEPresDataToDisk(o, file.c_str(), nullptr), 0);
  // A file header in front, whose offset points past the headers to the pixels.
  EXPECT_EQ(test_support::read_file(file), test_support::bitmap_file());
}

TEST_F(OleObjects, APresentationBecomesPictureCodes) {
  test_support::install_converter(dir, "g513funx", "printf 'png' > \"${2#-t=}\"");
  kiv::KIVOLEObject *o = embedded("", test_support::one_pixel_dib());
  EXPECT_EQ(kiv::ConvertOLEPresDataToICF(o, sink), 0);
  EXPECT_EQ(sunk, assemble("{PDS 0|1|0|0|2880|1440|2880|1440|}{PCT 706E67|}"));
  for (const std::string &name : dir.listing()) EXPECT_NE(name.rfind("KV", 0), 0u) << name << " left behind";
  sunk.clear();
  EXPECT_EQ(kiv::ConvertOLEPresDataToICF(nullptr, sink), -1);
  EXPECT_EQ(sunk, "");
}

TEST_F(OleObjects, AnEmbeddedDocumentLosesItsBannedCodes) {
  const std::string document = "unknown document";
  test_support::write_file(dir.file("probe"), document);
  int variant = 0;
  char name[16];
  std::snprintf(name, sizeof name, "w%03dfunx", KIVGetFileFormat(dir.file("probe").c_str(), &variant));
  test_support::write_file(dir.file("converted"), assemble("a{DID 4}b{SSI 1|{BBT}x|}c{EBT}"));
  test_support::install_converter(dir, name, "cp \"" + dir.file("converted") + "\" \"${2#-t=}\"");
  kiv::KIVOLEObject *o = keep(kiv::MakeEmptyOLE(2, "Doc", "", ""));
  give(document);
  kiv::PutOLENativeData(o, source);
  EXPECT_EQ(kiv::ConvertOLENativeDataToICF(o, sink), 0);
  EXPECT_EQ(sunk, assemble("abc{EBT}"));
}

}  // namespace
