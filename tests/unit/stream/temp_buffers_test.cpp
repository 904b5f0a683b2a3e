// Temporary buffers: spill and replay in both directions, push-back to the
// head, slots, closing all but one, and the removal of spill files.
#include "stream/temp_buffers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <vector>

#include "support/stream_fixture.h"

namespace {

class TempBuffers : public test_support::StreamFixture {
 protected:
  int spill_files() const {
    int n = 0;
    for (const std::string &name : dir.listing()) n += name.rfind("KV", 0) == 0 ? 1 : 0;
    return n;
  }
};

unsigned char byte_at(int i) { return static_cast<unsigned char>((i * 7 + i / 251) & 0xFF); }

TEST_F(TempBuffers, SpilledBytesComeBackInOrderAndTheFileGoes) {
  const int h = kiv::bufinit(30000);
  ASSERT_GE(h, 0);
  for (int i = 0; i < 100000; ++i) kiv::bufput(byte_at(i), h);
  EXPECT_EQ(kiv::BufNumStored(h), 100000);
  EXPECT_EQ(spill_files(), 1);
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(kiv::bufget(h), byte_at(i)) << i;
  EXPECT_EQ(kiv::bufget(h), -1);
  EXPECT_EQ(spill_files(), 0);
  // Empty again, the buffer is usable.
  kiv::bufput('x', h);
  EXPECT_EQ(kiv::bufget(h), 'x');
}

TEST_F(TempBuffers, TakingBackFromTheTailReReadsSpilledBlocks) {
  const int h = kiv::bufinit(30000);
  for (int i = 0; i < 40000; ++i) kiv::bufput(byte_at(i), h);
  for (int i = 39999; i >= 15000; --i) ASSERT_EQ(kiv::bufunput(h), byte_at(i)) << i;
  EXPECT_EQ(spill_files(), 0);
  for (int i = 0; i < 15000; ++i) ASSERT_EQ(kiv::bufget(h), byte_at(i)) << i;
  EXPECT_EQ(kiv::bufget(h), -1);
}

TEST_F(TempBuffers, BytesReturnedToTheHeadComeBackNewestFirst) {
  const int empty = kiv::bufinit(10);
  EXPECT_EQ(kiv::bufget(empty), -1);
  EXPECT_EQ(kiv::bufunput(empty), -1);
  EXPECT_EQ(kiv::BufNumStored(empty), 0);
  const int fresh = kiv::bufinit(100);
  kiv::bufunget('q', fresh);  // kept in a helper buffer
  kiv::bufput('r', fresh);
  for (int c : {int{'q'}, int{'r'}, -1}) EXPECT_EQ(kiv::bufget(fresh), c);
  const int h = kiv::bufinit(100);
  for (char c : std::string("abcdef")) kiv::bufput(static_cast<unsigned char>(c), h);
  for (char c : std::string("abc")) EXPECT_EQ(kiv::bufget(h), c);
  kiv::bufunget('Y', h);
  kiv::bufunget('X', h);
  for (char c : std::string("XYd")) EXPECT_EQ(kiv::bufget(h), c);
}

TEST_F(TempBuffers, SixHundredSlotsAndNoMore) {
  for (int i = 0; i < kiv::buffer_slots; ++i) ASSERT_EQ(kiv::bufinit(1), i);
  EXPECT_EQ(kiv::bufinit(1), -1);
  kiv::bufclose(17);
  EXPECT_EQ(kiv::bufinit(1), 17);  // the first free slot is reused
  kiv::bufcloseall();
  EXPECT_EQ(kiv::temp_buffers.totused, 0);
}

TEST_F(TempBuffers, ClosingAllButOneKeepsItsContentAndSlot) {
  const int a = kiv::bufinit(30000), b = kiv::bufinit(30000), c = kiv::bufinit(10);
  for (int i = 0; i < 40000; ++i) kiv::bufput(byte_at(i), b);  // spilled to disk
  kiv::bufput('a', a);
  kiv::bufput('c', c);
  kiv::BufCloseAllButOne(b);
  EXPECT_EQ(kiv::temp_buffers.totused, 1);
  EXPECT_EQ(spill_files(), 1);
  for (int i = 0; i < 40000; ++i) ASSERT_EQ(kiv::bufget(b), byte_at(i)) << i;
  EXPECT_EQ(kiv::bufinit(1), a);  // the closed slots are free again
  kiv::BufCloseAllButOne(-1);     // no buffer to keep: all go
  EXPECT_EQ(kiv::temp_buffers.totused, 0);
  EXPECT_EQ(spill_files(), 0);
}

TEST_F(TempBuffers, ClosingASpilledBufferRemovesItsFile) {
  const int a = kiv::bufinit(30000);
  const int b = kiv::bufinit(30000);
  for (int i = 0; i < 70000; ++i) {
    kiv::bufput(byte_at(i), a);
    kiv::bufput(byte_at(i + 1), b);
  }
  EXPECT_EQ(spill_files(), 2);
  kiv::bufclose(a);
  EXPECT_EQ(spill_files(), 1);
  // The other buffer still replays through the shared spill slot.
  for (int i = 0; i < 70000; ++i) ASSERT_EQ(kiv::bufget(b), byte_at(i + 1)) << i;
  kiv::bufclose(b);
  EXPECT_EQ(spill_files(), 0);
}

TEST_F(TempBuffers, BulkStretchesCrossSpillsLikeSingleBytes) {
  const int h = kiv::bufinit(30000);
  std::vector<unsigned char> in(100000);
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = byte_at(static_cast<int>(i));
  for (std::size_t at = 0; at < in.size(); at += 7777)
    kiv::bufputs(h, in.data() + at, static_cast<int>(std::min<std::size_t>(7777, in.size() - at)));
  EXPECT_EQ(kiv::BufNumStored(h), 100000);
  std::vector<unsigned char> out(in.size());
  std::size_t got = 0;
  int round = 0;
  while (got < out.size()) {
    const int n = kiv::bufgets(h, out.data() + got, 5000);
    ASSERT_GT(n, 0);
    got += static_cast<std::size_t>(n);
    if (++round == 3) {  // a byte returned to the head in between comes back first
      kiv::bufunget(out[got - 1], h);
      --got;
    }
  }
  EXPECT_EQ(out, in);
  EXPECT_EQ(kiv::bufgets(h, out.data(), 10), 0);
  EXPECT_EQ(spill_files(), 0);
}

TEST_F(TempBuffers, BuffersSpillingInTurnEachReplayTheirOwnBytes) {
  // More buffers than keep spilled blocks in memory, filled in turn so that the
  // one open spill file keeps changing hands; one takes bytes back from its
  // tail across many spilled blocks.
  constexpr int count = 10;
  std::vector<int> handles;
  std::vector<std::vector<unsigned char>> expected(count);
  for (int i = 0; i < count; ++i) handles.push_back(kiv::bufinit(30000));
  for (int round = 0; round < 60; ++round) {
    for (int i = 0; i < count; ++i) {
      std::vector<unsigned char> chunk(4000 + static_cast<std::size_t>(i) * 37);
      for (std::size_t k = 0; k < chunk.size(); ++k)
        chunk[k] = byte_at(static_cast<int>(expected[static_cast<std::size_t>(i)].size() + k) + i);
      kiv::bufputs(handles[static_cast<std::size_t>(i)], chunk.data(), static_cast<int>(chunk.size()));
      expected[static_cast<std::size_t>(i)].insert(expected[static_cast<std::size_t>(i)].end(), chunk.begin(), chunk.end());
    }
  }
  EXPECT_EQ(spill_files(), count);
  std::vector<unsigned char> &taken = expected[3];
  for (int k = 0; k < 150000; ++k) {
    ASSERT_EQ(kiv::bufunput(handles[3]), taken.back()) << k;
    taken.pop_back();
  }
  for (int i = 0; i < count; ++i) {
    const auto &want = expected[static_cast<std::size_t>(i)];
    ASSERT_EQ(kiv::BufNumStored(handles[static_cast<std::size_t>(i)]), static_cast<long>(want.size()));
    std::vector<unsigned char> out(want.size());
    ASSERT_EQ(kiv::bufgets(handles[static_cast<std::size_t>(i)], out.data(), static_cast<int>(out.size())),
              static_cast<int>(want.size()));
    EXPECT_EQ(out, want) << "buffer " << i;
  }
  EXPECT_EQ(spill_files(), 0);
}

// Sinks of bufdrain that collect what they are handed; the file sink takes
// at most file_quota bytes of each stretch, reading them where they stand.
std::vector<unsigned char> drained;
long file_quota = 0;
long file_bytes = 0;
int drain_to_memory(const unsigned char *bytes, long n) {
  drained.insert(drained.end(), bytes, bytes + n);
  return 0;
}
long drain_from_file(int handle, long offset, long n) {
  const long take = std::min(n, file_quota);
  std::vector<unsigned char> part(static_cast<std::size_t>(take));
  if (take > 0 && pread(handle, part.data(), part.size(), offset) != take) return -1;
  drained.insert(drained.end(), part.begin(), part.end());
  file_bytes += take;
  return take == 0 ? -1 : take;
}

TEST_F(TempBuffers, DrainingHandsOnTheUnreadBytesInOrderAndEmptiesTheBuffer) {
  struct Case {
    int size;        // bytes appended
    int read_first;  // bytes read with bufget before draining
    bool pushed;     // a byte returned to the head before draining
    long quota;      // bytes the file sink moves of each stretch
    bool file_sink;
  };
  // Spilled blocks partly in the file and partly still staged in memory, the
  // file moved whole, in part or not at all, and reading begun in the lower
  // half, in a reloaded block or after the last one.
  const Case cases[] = {{100, 0, false, 0, true},          {100, 40, true, 0, true},
                        {200000, 0, false, 1L << 30, true}, {200000, 0, false, 20001, true},
                        {200000, 20000, true, 1L << 30, true}, {200000, 70000, false, 0, false},
                        {200000, 190000, false, 1L << 30, true}, {45000, 0, false, 1L << 30, true}};
  for (const Case &c : cases) {
    const int h = kiv::bufinit(30000);
    std::vector<unsigned char> want;
    for (int i = 0; i < c.size; ++i) kiv::bufput(byte_at(i), h);
    for (int i = 0; i < c.read_first; ++i) ASSERT_EQ(kiv::bufget(h), byte_at(i));
    if (c.pushed) {
      kiv::bufunget('#', h);
      kiv::bufunget('!', h);
      want = {'!', '#'};
    }
    for (int i = c.read_first; i < c.size; ++i) want.push_back(byte_at(i));
    drained.clear();
    file_quota = c.quota;
    file_bytes = 0;
    kiv::bufdrain(h, drain_to_memory, c.file_sink ? drain_from_file : nullptr);
    EXPECT_EQ(drained, want) << c.size << " " << c.read_first << " " << c.quota;
    if (c.quota > 0 && c.size > 150000 && c.read_first == 0) {
      EXPECT_GT(file_bytes, 0);
    }
    EXPECT_EQ(kiv::BufNumStored(h), 0);
    EXPECT_EQ(kiv::bufget(h), -1);
    EXPECT_EQ(spill_files(), 0);
    kiv::bufput('z', h);  // empty and usable again
    EXPECT_EQ(kiv::bufget(h), 'z');
    kiv::bufclose(h);
  }
}

TEST_F(TempBuffers, BulkCallsMatchSingleBytes) {
  const int h = kiv::bufinit(100);
  const unsigned char in[] = {1, 2, 3, 4, 5};
  kiv::bufputs(h, in, 5);
  unsigned char tail[2];
  kiv::bufunputs(h, tail, 2);
  EXPECT_EQ(tail[0], 5);
  EXPECT_EQ(tail[1], 4);
  unsigned char out[8];
  EXPECT_EQ(kiv::bufgets(h, out, 8), 3);
  EXPECT_EQ(out[2], 3);
}

}  // namespace
