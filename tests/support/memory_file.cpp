// The in-memory file of the compound-file tests and fuzz target.
#include "support/memory_file.h"

#include <algorithm>
#include <cstring>

namespace test_support {

MemoryFile memory_file;

int memory_seek(long offset) {
  if (offset < 0) return -1;
  memory_file.position = offset;
  return 0;
}

int memory_read(void *buffer, int count) {
  ++memory_file.reads;
  const auto size = static_cast<long>(memory_file.bytes.size());
  if (memory_file.position >= size || count <= 0) return 0;
  const long n = std::min<long>(count, size - memory_file.position);
  std::memcpy(buffer, memory_file.bytes.data() + memory_file.position, static_cast<std::size_t>(n));
  memory_file.position += n;
  return static_cast<int>(n);
}

}  // namespace test_support
