// A fixture for stream-level tests: a fresh temporary directory, every module
// reset, KIVexit turned into an ExitRequest the test can catch, and helpers
// that open the buffered I/O over given source bytes. It ends as a host ends
// its session, with the library's memory released.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace test_support {

class StreamFixture : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens the buffered I/O over source (written to a file) and a target file,
  // with the given buffer size limit (-1 for the default sizes).
  void open_streams(const std::string &source, int buffer_limit = -1);
  // Closes the buffered I/O and both files; the target's bytes.
  std::string close_streams();
  // Reads the source to its end through b_getc.
  std::string read_rest();

  TempDir dir;
  std::string target_name;
  int in_handle = -1;
  int out_handle = -1;
};

}  // namespace test_support
