// Memory manager: every block of the library comes from KIVmalloc, is zeroed and
// chained, so that KIVFreeAll can release whatever a conversion left behind. The
// host may supply its own allocator and release function.
#pragma once

#include <cstddef>

namespace kiv {

using HostMalloc = void *(*)(std::size_t);
using HostFree = void (*)(void *);

struct BlockHeader;

struct MemoryState {
  BlockHeader *MemoryChain = nullptr;      // first block of the chain
  BlockHeader *MemoryChainLast = nullptr;  // last block of the chain
  HostMalloc oem_malloc = nullptr;         // host allocator, null = the system's
  HostFree oem_free = nullptr;
  // Set when a request was refused since the last clear: a conversion in which
  // that happened ends with 8 (no memory), since what it wrote may lack a part.
  bool request_refused = false;
};
extern MemoryState memory;

// Installs the host's allocator pair; both null restores the system allocator.
// Blocks already held keep the release function they were allocated with.
void set_host_allocator(HostMalloc allocate, HostFree release);

// n zeroed bytes, 16-byte aligned, chained; null when no memory is left.
void *KIVmalloc(std::size_t n);
// Releases a block from KIVmalloc; null or any other pointer is ignored.
void KIVfree(void *p);
// 0 when every block of the chain is intact, 1 at the first damaged block.
int KIVMemCheck();
// System-level allocation (at least 64 bytes, zeroed) and release.
void *OSDirectMalloc(std::size_t n);
void OSDirectFree(void *p);
// Releases every block of the chain, each through the function it was
// allocated with; the chain is empty afterwards.
void release_all_blocks();
// Number of blocks in the chain (for tests and leak checks).
std::size_t live_block_count();

// Owns one KIVmalloc block for the length of a scope.
class ScopedBlock {
 public:
  explicit ScopedBlock(std::size_t n) : block_(KIVmalloc(n)) {}
  ~ScopedBlock() { KIVfree(block_); }
  ScopedBlock(const ScopedBlock &) = delete;
  ScopedBlock &operator=(const ScopedBlock &) = delete;
  template <typename T = unsigned char>
  T *get() const { return static_cast<T *>(block_); }
  explicit operator bool() const { return block_ != nullptr; }

 private:
  void *block_;
};

}  // namespace kiv
