// The file operations of a remote route called from a script step:
//   OPERATION ARGUMENTS... -> RESULT
// Names are in the byte notation of script_cases.h; a read takes a handle and
// a count, a write a handle and the bytes.
#pragma once

#include <string>

#include "support/script_cases.h"

namespace test_support {

struct RemoteOperations {
  int (*open)(const char *, int, int);
  int (*read)(int, void *, int);
  int (*write)(int, const void *, int);
  long (*lseek)(int, long, int);
  int (*close)(int);
  int (*unlink)(const char *);
  int (*rename)(const char *, const char *);
  long (*get_size)(const char *);
  int (*check_exist)(const char *);
};

struct RemoteCall {
  long expected = 0;
  long result = 0;
  std::string read;          // the bytes a read left in its buffer, up to its count
  bool wrote_past = false;   // a read changed its buffer past what it returned
};

RemoteCall call_remote(const RemoteOperations &operations, const std::string &step);

}  // namespace test_support
