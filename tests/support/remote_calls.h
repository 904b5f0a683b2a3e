// The steps that the case runners of both remote routes share:
//   call OPERATION ARGUMENTS... -> RESULT
//   got BYTES                  what the last read left in its buffer
//   stderr BYTES / stderr-has BYTES: what the last call wrote to standard error, or part of it
// Names are in the byte notation of script_cases.h; a read takes a handle and
// a count, a write a handle and the bytes. Every call is checked for its
// result, and a read for changing nothing in its buffer past what it returned.
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

class CallSteps {
 public:
  explicit CallSteps(const RemoteOperations &operations) : operations_(operations) {}
  // Runs the step and checks it; false when the step is none of these.
  bool take(const std::string &word, const std::string &rest);

 private:
  long call(const std::string &step);

  const RemoteOperations &operations_;
  std::string read_;    // what the last read returned
  std::string errors_;  // what the last call wrote to standard error
};

}  // namespace test_support
