// Memory manager: chained, marked and zeroed blocks, optionally from the host's
// allocator. Each block remembers the release function it must go back through,
// so a host may change allocators between conversions.
#include "runtime/memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kiv {

// Layout of one block: chain links, the release function, the marker "mi" and
// padding, then the caller's bytes (16-byte aligned) and two spare bytes.
struct alignas(16) BlockHeader {
  BlockHeader *prev;
  BlockHeader *next;
  HostFree release;
  char marker[2];
  char zero[6];
};
static_assert(sizeof(BlockHeader) == 32);

MemoryState memory;

namespace {

constexpr std::size_t spare_bytes = 2;
constexpr std::size_t minimum_system_block = 64;

void system_free(void *p) { std::free(p); }

bool intact(const BlockHeader *b) { return b->marker[0] == 'm' && b->marker[1] == 'i'; }

void unlink_block(BlockHeader *b) {
  if (b->prev) b->prev->next = b->next; else memory.MemoryChain = b->next;
  if (b->next) b->next->prev = b->prev; else memory.MemoryChainLast = b->prev;
}

}  // namespace

void set_host_allocator(HostMalloc allocate, HostFree release) {
  // Only a complete pair is used: a block must go back where it came from.
  if (allocate && release) {
    memory.oem_malloc = allocate;
    memory.oem_free = release;
  } else {
    memory.oem_malloc = nullptr;
    memory.oem_free = nullptr;
  }
}

void *OSDirectMalloc(std::size_t n) {
  if (n < minimum_system_block) n = minimum_system_block;
  // The system's calloc knows when fresh pages are zero already and leaves
  // them untouched; a host's allocator gives no such promise.
  if (!memory.oem_malloc) return std::calloc(1, n);
  void *p = memory.oem_malloc(n);
  if (p) std::memset(p, 0, n);
  return p;
}

void OSDirectFree(void *p) {
  if (memory.oem_free) memory.oem_free(p); else std::free(p);
}

void *KIVmalloc(std::size_t n) {
  void *raw = n > SIZE_MAX - sizeof(BlockHeader) - spare_bytes ? nullptr
                                                                : OSDirectMalloc(n + sizeof(BlockHeader) + spare_bytes);
  if (!raw) {
    memory.request_refused = true;
    return nullptr;
  }
  auto *b = static_cast<BlockHeader *>(raw);
  b->release = memory.oem_free ? memory.oem_free : system_free;
  b->prev = memory.MemoryChainLast;
  b->next = nullptr;
  if (memory.MemoryChainLast) memory.MemoryChainLast->next = b; else memory.MemoryChain = b;
  memory.MemoryChainLast = b;
  b->marker[0] = 'm';
  b->marker[1] = 'i';
  return b + 1;
}

void KIVfree(void *p) {
  if (!p) return;
  // A pointer is released only when it is a block of the chain; the search runs
  // from the newest block, where frees in practice land. Reading in front of a
  // foreign pointer to look for the marker would read memory that is not ours.
  const auto wanted = reinterpret_cast<std::uintptr_t>(p);
  for (BlockHeader *b = memory.MemoryChainLast; b; b = b->prev) {
    if (reinterpret_cast<std::uintptr_t>(b + 1) == wanted) {
      unlink_block(b);
      b->release(b);
      return;
    }
  }
}

int KIVMemCheck() {
  const BlockHeader *prev = nullptr;
  for (const BlockHeader *b = memory.MemoryChain; b; b = b->next) {
    if (!intact(b) || b->prev != prev) return 1;
    prev = b;
  }
  return prev == memory.MemoryChainLast ? 0 : 1;
}

std::size_t live_block_count() {
  std::size_t count = 0;
  for (const BlockHeader *b = memory.MemoryChain; b; b = b->next) ++count;
  return count;
}

void release_all_blocks() {
  BlockHeader *b = memory.MemoryChain;
  while (b) {
    BlockHeader *next = b->next;
    b->release(b);
    b = next;
  }
  memory.MemoryChain = nullptr;
  memory.MemoryChainLast = nullptr;
}

}  // namespace kiv
