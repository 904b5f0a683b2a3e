// The folder a fuzz target converts in, and the check that a conversion left
// no intermediate or temporary file in it.
#pragma once

#include <string>

namespace test_support {

// Made at the first call; it goes when the fuzzer or the replay ends.
const std::string &fuzz_work_dir();
// Whether dir holds a spill file (KV...) or an intermediate file named icf.
bool temporary_files_left(const std::string &dir, const char *icf);
// Whether dir holds any file but the one named kept.
bool files_other_than(const std::string &dir, const char *kept);

}  // namespace test_support
