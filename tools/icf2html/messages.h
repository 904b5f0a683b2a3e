// What icf2html tells its user: the usage text, one line per failure on
// standard error, and the exit statuses.
#pragma once

#include <cstdio>
#include <string>

namespace icf2html {

// Exit statuses of the program.
enum Status : int {
  status_converted = 0,
  status_conversion_failed = 1,  // the converter ended with an error code
  status_usage = 2,
  status_input_unreadable = 3,
  status_output_unwritable = 4,
  status_converted_with_warning = 5,  // the page is written; the input ended inside a code
  status_interrupted = 128,           // plus the signal's number: 130 for SIGINT, 143 for SIGTERM
};

void usage(std::FILE *to);

// "icf2html: FILE: CAUSE" on standard error, as one line.
void report(const std::string &file, const std::string &cause);
// The cause with the system's reason for errno appended.
std::string with_reason(const std::string &cause, int error_number);

// The converter's exit code in words, whether it concerns the input (else the
// output), and the program's exit status for it.
struct Cause {
  const char *text;
  bool input;
  Status status;
};
Cause cause_of(int code);

}  // namespace icf2html
