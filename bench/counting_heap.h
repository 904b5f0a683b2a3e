// Allocator hooks for the benchmarks that count the library's heap in bytes:
// heap_peak is the most held at once since it was last set to 0.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>

namespace bench_support {

inline std::size_t heap_now = 0;
inline std::size_t heap_peak = 0;

inline void *counting_allocate(std::size_t n) {
  auto *block = static_cast<std::size_t *>(std::malloc(n + sizeof(std::max_align_t)));
  if (!block) return nullptr;
  *block = n;
  heap_now += n;
  heap_peak = std::max(heap_peak, heap_now);
  return reinterpret_cast<unsigned char *>(block) + sizeof(std::max_align_t);
}

inline void counting_release(void *p) {
  if (!p) return;
  auto *block = reinterpret_cast<std::size_t *>(static_cast<unsigned char *>(p) - sizeof(std::max_align_t));
  heap_now -= *block;
  std::free(block);
}

}  // namespace bench_support
