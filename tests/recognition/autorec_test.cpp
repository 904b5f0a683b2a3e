// The recognition driver through its exported entry points: files read directly
// and through host hooks, the failure codes, the expected format, and the same
// answers for a file and for its bytes as a block.
#include <array>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <icf2html.h>

#include "recognition_samples.h"
#include "runtime/memory.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace recognition_test {
namespace {

std::string as_string(const Data &d) { return std::string(d.begin(), d.end()); }

class AutoRecFileTest : public ::testing::Test {
 protected:
  std::string put(const std::string &name, const Data &content) const {
    const std::string path = dir_.file(name);
    test_support::write_file(path, as_string(content));
    return path;
  }
  test_support::TempDir dir_;
};

// Files that cannot be opened (-1) or give nothing to read (-2) leave the
// variant as it was; three letters are plain text of variant 0.
TEST_F(AutoRecFileTest, FailuresKeepTheVariant) {
  const std::string overlong = dir_.file(std::string(200, 'n')) + "/" + std::string(200, 'm');
  int variant = 77;
  EXPECT_EQ(autorec(dir_.file("absent").c_str(), &variant), -1);
  EXPECT_EQ(AutoRecExp(dir_.file("absent").c_str(), 19, &variant), -1);
  EXPECT_EQ(KIVGetFileFormat(nullptr, &variant), -1);
  EXPECT_EQ(autorec(overlong.c_str(), &variant), -1);  // not copied past its buffer
  EXPECT_EQ(autorec(put("empty", {}).c_str(), &variant), -2);
  EXPECT_EQ(autorec(dir_.path().c_str(), &variant), -2);
  EXPECT_EQ(variant, 77);
  EXPECT_EQ(KIVGetFileFormat(put("abc.txt", bytes("abc")).c_str(), &variant), 1);
  EXPECT_EQ(variant, 0);
}

TEST_F(AutoRecFileTest, OnlyTheFirst4096BytesAreLookedAt) {
  Data d;
  while (d.size() < 4096) d.insert(d.end(), {'l', 'i', 'n', 'e', '\n'});
  d.resize(4096);
  d.insert(d.end(), 5000, 0x01);  // binary beyond the first read
  int variant = -1;
  EXPECT_EQ(autorec(put("long", d).c_str(), &variant), 1);
}

TEST_F(AutoRecFileTest, NoMemoryGivesMinusThree) {
  const std::string path = put("gif", bytes("GIF89a and more bytes"));
  const unsigned char block[] = "GIF89a....";
  int variant = 77;
  for (long fail_at : {1L, 2L, 0L}) {  // 0: the block, its first allocation failing
    test_support::reset_allocator(fail_at == 0 ? 1 : fail_at);
    kiv::set_host_allocator(test_support::counting_malloc, test_support::counting_free);
    const int result = fail_at == 0 ? AutoRecBlock(block, 10, 0, &variant) : autorec(path.c_str(), &variant);
    kiv::set_host_allocator(nullptr, nullptr);
    EXPECT_EQ(result, -3) << "failing allocation " << fail_at;
    EXPECT_EQ(test_support::blocks_outstanding(), 0);
  }
  test_support::reset_allocator();
}

// Every sample, written as a file, gets the answer its bytes get as a block.
class FileBlockEquivalence : public AutoRecFileTest, public ::testing::WithParamInterface<Sample> {};

TEST_P(FileBlockEquivalence, FileAnswersAsItsBlock) {
  const Sample &s = GetParam();
  const std::string path = put(s.label, s.positive);
  int file_variant = -99;
  int block_variant = -98;
  const int from_file = autorec(path.c_str(), &file_variant);
  const int from_block = AutoRecBlock(s.positive.data(), static_cast<int>(s.positive.size()), 0, &block_variant);
  EXPECT_EQ(from_file, from_block);
  EXPECT_EQ(file_variant, block_variant);
  EXPECT_EQ(from_file, s.code);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, FileBlockEquivalence, ::testing::ValuesIn(recogniser_samples()),
                         [](const ::testing::TestParamInfo<Sample> &info) { return info.param.label; });

// A host's file functions over one in-memory file.
struct FakeHostFile {
  Data content;
  int open_result = 9;
  int opened = 0;
  int closed = 0;
  int last_mode = 0;
  int last_kind = 0;
};
FakeHostFile host_file;

int host_open(const char *, int mode, int kind) {
  ++host_file.opened;
  host_file.last_mode = mode;
  host_file.last_kind = kind;
  return host_file.open_result;
}
int host_read(int handle, void *buffer, int count) {
  if (handle != host_file.open_result) return -1;
  const int n = std::min(count, static_cast<int>(host_file.content.size()));
  std::memcpy(buffer, host_file.content.data(), static_cast<std::size_t>(n));
  return n;
}
int host_close(int) { return ++host_file.closed, 0; }

class HookTest : public ::testing::Test {
 protected:
  void SetUp() override { host_file = {}; }
  const KIVAutoRecHooks hooks = {host_open, host_read, nullptr, host_close};
};

TEST_F(HookTest, FileIsReadThroughTheHostAndClosed) {
  host_file.content = bytes("{\\rtf1\\ansi text}");
  int variant = -1;
  EXPECT_EQ(AutoRecFile("doc.rtf", 0, &variant, &hooks), 19);
  EXPECT_EQ(variant, 1);
  EXPECT_EQ(host_file.opened, 1);
  EXPECT_EQ(host_file.closed, 1);
  EXPECT_EQ(host_file.last_mode, 1);
  EXPECT_EQ(host_file.last_kind, 1);
}

TEST_F(HookTest, FailuresOfTheHostFunctions) {
  host_file.content = bytes("abc");
  int variant = 77;
  const KIVAutoRecHooks no_open = {nullptr, host_read, nullptr, host_close};
  EXPECT_EQ(AutoRecFile("x", 0, &variant, &no_open), -1);
  host_file.open_result = -1;
  EXPECT_EQ(AutoRecFile("x", 0, &variant, &hooks), -1);
  EXPECT_EQ(host_file.closed, 0);
  host_file.open_result = 9;
  const KIVAutoRecHooks no_read = {host_open, nullptr, nullptr, host_close};
  EXPECT_EQ(AutoRecFile("x", 0, &variant, &no_read), -2);
  EXPECT_EQ(host_file.closed, 1);
  host_file.content.clear();
  EXPECT_EQ(AutoRecFile("x", 0, &variant, &hooks), -2);
  EXPECT_EQ(host_file.closed, 2);
  const KIVAutoRecHooks no_close = {host_open, host_read, nullptr, nullptr};
  EXPECT_EQ(AutoRecFile("x", 0, &variant, &no_close), -2);
  EXPECT_EQ(variant, 77);
}

TEST_F(HookTest, CompoundFilesAreLeftToTheBlockRecognisersOnTheHostRoute) {
  host_file.content = compound_sample("word_v1");
  int variant = -1;
  // The directory lies in the first 4096 bytes: the block test finds the name,
  // but the stream's version byte is not read.
  EXPECT_EQ(AutoRecFile("doc", 0, &variant, &hooks), 49);
  EXPECT_EQ(variant, 0);
}

TEST_F(AutoRecFileTest, CompoundFileIsAnsweredBeforeTheExpectedFormat) {
  const Data d = compound_sample("word_v1");
  const std::string path = put("doc", d);
  int variant = -1;
  EXPECT_EQ(AutoRecExp(path.c_str(), 1, &variant), 49);
  EXPECT_EQ(variant, 1);
  EXPECT_EQ(AutoRecBlock(d.data(), static_cast<int>(d.size()), 0, &variant), 49);
  EXPECT_EQ(variant, 0) << "a block answers from the directory name alone";
  // Shorter than 2048 bytes: never read as a compound file.
  const std::string short_path = put("short", truncated(d, 2047));
  EXPECT_EQ(autorec(short_path.c_str(), &variant), 49);
  EXPECT_EQ(variant, 0);
}

}  // namespace
}  // namespace recognition_test
