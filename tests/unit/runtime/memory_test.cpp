// The memory manager: zeroed chained blocks, foreign pointers ignored, the host
// allocator, and releasing everything.
#include <icf2html.h>

#include "runtime/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "support/fake_host.h"

namespace {

class Memory : public testing::Test {
 protected:
  void SetUp() override {
    KIVFreeAll();
    kiv::set_host_allocator(nullptr, nullptr);
  }
  void TearDown() override {
    KIVFreeAll();
    kiv::set_host_allocator(nullptr, nullptr);
  }
};

TEST_F(Memory, BlocksAreZeroedAlignedAndChained) {
  auto *zero = static_cast<unsigned char *>(kiv::KIVmalloc(0));
  ASSERT_NE(zero, nullptr);
  auto *block = static_cast<unsigned char *>(kiv::KIVmalloc(100));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(block[i], 0);
  void *last = kiv::KIVmalloc(8);
  // Freeing the middle block keeps the chain; foreign pointers are ignored.
  kiv::KIVfree(block);
  static unsigned char not_ours[32];
  void *system = std::malloc(32);
  kiv::KIVfree(not_ours);
  kiv::KIVfree(system);
  kiv::KIVfree(nullptr);
  std::free(system);
  EXPECT_EQ(kiv::live_block_count(), 2u);
  EXPECT_EQ(kiv::KIVMemCheck(), 0);
  kiv::KIVfree(zero);
  kiv::KIVfree(last);
  EXPECT_EQ(kiv::live_block_count(), 0u);
  {
    kiv::ScopedBlock scoped(64);
    ASSERT_TRUE(scoped);
    EXPECT_EQ(kiv::live_block_count(), 1u);
  }
  EXPECT_EQ(kiv::live_block_count(), 0u);
}

TEST_F(Memory, DamagedBlockIsReported) {
  auto *p = static_cast<unsigned char *>(kiv::KIVmalloc(16));
  p[-8] = 'x';  // the marker sits 8 bytes in front of the caller's bytes
  EXPECT_EQ(kiv::KIVMemCheck(), 1);
  p[-8] = 'm';
  EXPECT_EQ(kiv::KIVMemCheck(), 0);
}

TEST_F(Memory, HostAllocatorServesAndGetsEverythingBack) {
  test_support::reset_allocator();
  kiv::set_host_allocator(test_support::counting_malloc, test_support::counting_free);
  for (int i = 0; i < 10; ++i) kiv::KIVmalloc(static_cast<std::size_t>(i) * 10);
  EXPECT_EQ(test_support::blocks_outstanding(), 10);
  // Blocks go back to the allocator they came from, even after a change.
  kiv::set_host_allocator(nullptr, nullptr);
  KIVFreeAll();
  EXPECT_EQ(test_support::blocks_outstanding(), 0);
  EXPECT_NE(kiv::KIVmalloc(1), nullptr);  // a new chain starts
  EXPECT_EQ(kiv::live_block_count(), 1u);
}

TEST_F(Memory, FailedHostAllocationIsNull) {
  test_support::reset_allocator(1);
  kiv::set_host_allocator(test_support::counting_malloc, test_support::counting_free);
  EXPECT_EQ(kiv::KIVmalloc(10), nullptr);
  EXPECT_NE(kiv::KIVmalloc(10), nullptr);
  EXPECT_EQ(kiv::KIVmalloc(SIZE_MAX), nullptr);
}

}  // namespace
