// A host for tests: an allocator that can be told to fail its N-th allocation
// and counts what it hands out, and conversions run through MainEntryPoint
// with the host's shutdown calls afterwards.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace test_support {

// The allocator hooks. Allocations are counted from reset_allocator(); the
// fail_at-th allocation (1-based) returns null; 0 never fails.
void reset_allocator(long fail_at = 0);
void *counting_malloc(std::size_t n);
void counting_free(void *p);
long allocations_made();
long blocks_outstanding();
// The most blocks outstanding at once since reset_allocator().
long peak_blocks_outstanding();

struct Conversion {
  int code = 0;
  std::string html;     // the target's bytes ("" when it was not written)
  bool target_exists = false;
};

struct ConversionSettings {
  std::string levels = "5";
  std::vector<std::string> options;
  int buffer_limit = -1;   // buffered I/O limit; -1 the default sizes
  bool host_allocator = false;
  long fail_allocation = 0;
};

// Writes bytes as the intermediate file in dir, converts it into dir/out.html
// through MainEntryPoint and makes the four shutdown calls.
Conversion convert_bytes(const std::string &dir, const std::string &bytes, const ConversionSettings &settings = {});
// The same from the stream notation.
Conversion convert_notation(const std::string &dir, const std::string &notation_text,
                            const ConversionSettings &settings = {});
// One quiet conversion through MainEntryPoint with the names given, as they
// are, and further option words; then the four shutdown calls. With
// host_allocator every block comes from the counting allocator, counted from
// zero. The exit code.
int convert_names(const std::string &target, const std::string &icf, const std::string &levels = "5",
                  const std::vector<std::string> &options = {}, bool host_allocator = false);
// The bytes a notation stands for (the test fails on a malformed notation).
std::string assemble(const std::string &notation_text);

}  // namespace test_support
