// Compound-file recognition over files built here: each stream name and its
// refinement from the stream's first bytes, then damaged and hostile directories
// and chains, which must end with an answer and stay within the file.
#include <algorithm>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <icf2html.h>

#include "recognition/autorec.h"
#include "recognition/compound_recognition.h"
#include "recognition_samples.h"
#include "support/memory_file.h"
#include "support/temp_dir.h"

namespace recognition_test {
namespace {

using test_support::memory_file;
using test_support::memory_read;
using test_support::memory_seek;

struct Answer {
  int code;
  int variant;
  bool operator==(const Answer &) const = default;
};
std::ostream &operator<<(std::ostream &os, const Answer &a) { return os << a.code << "/" << a.variant; }

Answer recognise_compound(const Data &file) {
  memory_file = {file, 0, 0};
  kiv::autorec_state = {};
  const int head = static_cast<int>(std::min<std::size_t>(file.size(), 4096));
  const int code = kiv::auto_OLE2Formats(file.data(), head, memory_seek, memory_read);
  return {code, kiv::autorec_state.ver};
}

Data bytes_of(std::initializer_list<int> head, std::size_t size = 64) {
  Block b(size);
  b.put(0, head);
  return b;
}

Data word_stream(int first, int version) {
  Data d = bytes_of({first, 0xA5});
  d[21] = static_cast<unsigned char>(version);
  return d;
}

struct StreamCase {
  std::string label;
  std::u16string name;
  Data content;
  bool regular;
  Answer answer;
};
std::ostream &operator<<(std::ostream &os, const StreamCase &c) { return os << c.label; }

std::vector<StreamCase> stream_cases() {
  const Data wpc = Block(64).put(0, "\xFFWPC").put(8, {1, 10, 2, 2});
  return {
      {"word_v0", u"WordDocument", word_stream(0xDC, 0), false, {49, 0}},
      {"word_v1", u"WordDocument", word_stream(0xDC, 1), false, {49, 1}},
      {"word_regular_v1", u"WordDocument", word_stream(0xDC, 1), true, {49, 1}},
      {"word_other_version", u"WordDocument", word_stream(0xDC, 7), false, {49, 0}},
      {"word_ec_left_to_blocks", u"WordDocument", word_stream(0xEC, 1), false, {0, 0}},
      {"book", u"Book", bytes_of({0x09, 0x08}), false, {21, 4}},
      {"book_anything", u"Book", bytes_of({0xEC}), true, {21, 4}},
      {"works_chunks", u"MN0", Block(100).put(0, "CHNK"), false, {58, 0}},
      {"works_no_chunks", u"MN0", Block(100).put(0, "CHNL"), false, {39, 1}},
      {"works_mm", u"MM", bytes_of({1}), false, {39, 0}},
      {"pp40", u"PP40", bytes_of({1}), false, {619, 2}},
      {"powerpoint", u"PowerPoint Document", bytes_of({1}, 300), false, {627, 0}},
      {"perfect_office_wpc", u"PerfectOffice_MAIN", wpc, false, {48, 2}},
      {"perfect_office_quattro", u"PerfectOffice_MAIN", bytes_of({0, 0, 2, 0, 7, 0x10}), false, {801, 3}},
      {"perfect_office_other", u"PerfectOffice_MAIN", bytes_of({0, 0, 2, 0, 7, 0x11}), false, {48, 2}},
      {"novell", u"NOVELL_MAIN", bytes_of({0}), false, {801, 3}},
      {"case_differs", u"WordDocumenT", word_stream(0xDC, 1), false, {0, 0}},
      {"lower_case_book", u"book", bytes_of({0}), false, {0, 0}},
      {"high_byte_set", u"Boo\u016B", bytes_of({0}), false, {0, 0}},
      {"name_prefix", u"WordDocument2", word_stream(0xDC, 1), false, {0, 0}},
  };
}

class CompoundStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(CompoundStream, NameAndFirstBytesGiveTheAnswer) {
  const StreamCase &c = GetParam();
  CompoundBuilder b;
  b.top_level(b.stream(c.name, c.content, c.regular));
  const Answer a = recognise_compound(b.build());
  EXPECT_EQ(a.code, c.answer.code);
  if (c.answer.code != 0) {
    EXPECT_EQ(a.variant, c.answer.variant);
  }
}

INSTANTIATE_TEST_SUITE_P(Names, CompoundStream, ::testing::ValuesIn(stream_cases()),
                         [](const ::testing::TestParamInfo<StreamCase> &info) { return info.param.label; });

TEST(CompoundWalk, SiblingsAreWalkedLeftThenRight) {
  CompoundBuilder b;
  const auto middle = b.stream(u"Other", bytes_of({0}));
  const auto left = b.stream(u"MM", bytes_of({0}));
  const auto right = b.stream(u"Book", bytes_of({0}));
  b.entry(middle).left = left;
  b.entry(middle).right = right;
  b.top_level(middle);
  EXPECT_EQ(recognise_compound(b.build()), (Answer{39, 0}));
  b.entry(left).name = u"Mx";
  EXPECT_EQ(recognise_compound(b.build()), (Answer{21, 4}));
}

TEST(CompoundWalk, StreamInsideAChildStorageIsNotFound) {
  CompoundBuilder b;
  const auto storage = b.storage(u"Objects");
  const auto inner = b.stream(u"WordDocument", word_stream(0xDC, 1));
  b.entry(storage).child = inner;
  b.top_level(storage);
  EXPECT_EQ(recognise_compound(b.build()).code, 0);
}

TEST(CompoundWalk, SiblingCycleIsWalkedOnce) {
  CompoundBuilder b;
  const auto first = b.stream(u"One", bytes_of({0}));
  const auto second = b.stream(u"Two", bytes_of({0}));
  const auto book = b.stream(u"Book", bytes_of({0}));
  b.entry(first).left = second;
  b.entry(first).right = book;
  b.entry(second).left = first;   // back to the first
  b.entry(second).right = second; // and to itself
  b.top_level(first);
  EXPECT_EQ(recognise_compound(b.build()), (Answer{21, 4}));
  b.entry(first).right = first;
  EXPECT_EQ(recognise_compound(b.build()).code, 0);
  EXPECT_LT(memory_file.reads, 20);
}

TEST(CompoundWalk, EntryNumbersOutsideTheDirectoryAreRefused) {
  for (std::uint32_t bad : {4u, 1000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFDu}) {
    CompoundBuilder b;
    const auto first = b.stream(u"One", bytes_of({0}));
    b.entry(first).left = bad;
    b.top_level(first);
    EXPECT_EQ(recognise_compound(b.build()).code, 0) << bad;
  }
}

TEST(CompoundWalk, SelfReferencingDirectoryChainEnds) {
  CompoundBuilder b;
  b.top_level(b.stream(u"WordDocument", word_stream(0xDC, 1)));
  b.fat()[CompoundBuilder::directory_sector] = CompoundBuilder::directory_sector;
  EXPECT_EQ(recognise_compound(b.build()), (Answer{49, 1}));
  EXPECT_LT(memory_file.reads, 200);
}

TEST(CompoundWalk, DamagedStreamReadsKeepTheNamesAnswer) {
  // A regular stream whose sector lies beyond the file.
  CompoundBuilder regular;
  const auto e = regular.stream(u"WordDocument", word_stream(0xDC, 1), true);
  regular.entry(e).start = 0x00FFFFFF;
  regular.top_level(e);
  EXPECT_EQ(recognise_compound(regular.build()), (Answer{49, 0}));

  // A mini stream starting at a mini sector whose table sector lies far away.
  CompoundBuilder far;
  const auto f = far.stream(u"PerfectOffice_MAIN", bytes_of({0, 0, 2, 0, 7, 0x10}));
  far.entry(f).start = 0x7FFFFFFF;
  far.top_level(f);
  EXPECT_EQ(recognise_compound(far.build()), (Answer{48, 2}));

  // The file ends before the mini stream.
  CompoundBuilder truncated_file;
  truncated_file.top_level(truncated_file.stream(u"WordDocument", word_stream(0xDC, 1)));
  EXPECT_EQ(recognise_compound(truncated(truncated_file.build(), 2048)), (Answer{49, 0}));
}

TEST(CompoundWalk, MiniTableCycleIsBounded) {
  CompoundBuilder b;
  const Data content = Block(300).put(0, "CHNK");
  b.top_level(b.stream(u"MN0", content));
  Data file = b.build();
  // Make the mini table chain of the stream point back at its own first sector.
  const std::size_t mini_table = 512 + 2 * 512;
  for (int k = 0; k < 4; ++k) file[mini_table + k] = 0;
  EXPECT_EQ(recognise_compound(file), (Answer{58, 0}));
  EXPECT_LT(memory_file.reads, 100);
}

TEST(CompoundWalk, HeaderDamage) {
  CompoundBuilder b;
  b.top_level(b.stream(u"Book", bytes_of({0})));
  const Data good = b.build();
  EXPECT_EQ(recognise_compound(good), (Answer{21, 4}));
  EXPECT_EQ(recognise_compound(with_byte(good, 7, 0xE2)).code, 0) << "signature";
  EXPECT_EQ(recognise_compound(truncated(good, 2047)).code, 0) << "too short";
  Data far_directory = good;
  far_directory[48] = 0xFF;
  far_directory[49] = 0xFF;
  far_directory[50] = 0xFF;
  EXPECT_EQ(recognise_compound(far_directory).code, 0) << "directory beyond the file";
  Data no_table = good;
  std::fill(no_table.begin() + 44, no_table.begin() + 48, 0);
  EXPECT_EQ(recognise_compound(no_table), (Answer{21, 4})) << "a one-sector directory needs no table";
}

// Through the exported entry point, files read directly reach the walker.
TEST(CompoundFile, RecognisedFromAFile) {
  test_support::TempDir dir;
  CompoundBuilder b;
  b.top_level(b.stream(u"PowerPoint Document", bytes_of({1}, 300)));
  const Data d = b.build();
  const std::string path = dir.file("deck");
  test_support::write_file(path, std::string(d.begin(), d.end()));
  int variant = -1;
  EXPECT_EQ(autorec(path.c_str(), &variant), 627);
  EXPECT_EQ(variant, 0);
}

}  // namespace
}  // namespace recognition_test
