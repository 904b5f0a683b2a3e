// One conversion of INPUT into OUTPUT through the shared library, as any host
// program runs it, with OUTPUT kept intact when the conversion fails.
#pragma once

#include <string>
#include <vector>

namespace icf2html {

struct ConversionRequest {
  const char *program = nullptr;   // how icf2html was started: reader programs are looked up beside it
  std::string input;               // "-" is standard input
  std::string output;              // "-" is standard output
  std::string levels = "5";
  std::vector<std::string> words;  // option words for the converter
  bool show_progress = false;
  bool trusted = false;            // the design's bytes: document texts written as they are
};

// Runs the conversion and reports a failure on stderr in one line; the
// program's exit status (see messages.h).
int convert_one(ConversionRequest request);

}  // namespace icf2html
