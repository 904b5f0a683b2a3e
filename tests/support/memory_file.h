// An in-memory file behind a seek and read pair, for the compound-file walker
// in tests and fuzzing. Reads are counted so a test can see a walk stay bounded.
#pragma once

#include <vector>

namespace test_support {

struct MemoryFile {
  std::vector<unsigned char> bytes;
  long position = 0;
  long reads = 0;
};
extern MemoryFile memory_file;

// Seeks memory_file to offset: 0, or -1 for a negative offset.
int memory_seek(long offset);
// Reads up to count bytes at the position: the count read, 0 at the end.
int memory_read(void *buffer, int count);

}  // namespace test_support
