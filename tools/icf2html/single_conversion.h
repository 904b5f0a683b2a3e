// One conversion of INPUT into OUTPUT through the shared library, as any host
// program runs it.
#pragma once

#include <string>
#include <vector>

namespace icf2html {

struct ConversionRequest {
  const char *program = nullptr;  // how icf2html was started: reader programs are looked up beside it
  const char *input;           // "-" is standard input
  std::string output;          // "-" is standard output
  std::string levels;
  std::vector<std::string> words;  // option words for the converter
  bool show_progress = false;
};

// Runs the conversion and reports a failure on stderr; the program's exit status.
int convert_one(ConversionRequest request);

}  // namespace icf2html
