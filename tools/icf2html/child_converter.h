// The converter side of an isolated conversion: a forked child that converts
// through the shared library with every file operation sent to the controller.
#pragma once

#include <string>
#include <vector>

namespace icf2html {

// The child's exit status when it cannot enter its folder.
inline constexpr int child_setup_failed = 127;

struct ChildSetup {
  std::string private_dir;    // becomes the working folder (graphic converter programs run there)
  std::string target_name;    // the page's name as the user gave it
  std::string intermediate_name;
  std::string levels;
  std::vector<std::string> words;  // the user's option words and the route's words
  long memory_mib = 0;        // address-space limit; 0 for none
  int trace_fd = -1;          // standard output and error (the pipe trace); -1 for /dev/null
  int status_fd = -1;         // receives the conversion's exit code as one byte before the shutdown calls
};

// Runs the conversion in the current (forked) process and ends it with the
// conversion's exit code. Never returns.
[[noreturn]] void run_child_converter(const ChildSetup &setup);

}  // namespace icf2html
