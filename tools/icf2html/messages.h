// What icf2html tells its user: the usage text and the cause of each exit code
// of the converter in words.
#pragma once

#include <cstdio>

namespace icf2html {

void usage(std::FILE *to);

// The cause of an exit code in words, and whether it concerns the input.
struct Cause {
  const char *text;
  bool input;
};

Cause cause_of(int code, bool output_written);

}  // namespace icf2html
