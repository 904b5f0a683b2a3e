// End-to-end cases as data. A .case file holds named cases:
//
//   === name of the case
//   levels: 3p              (optional; default 5)
//   options: PE=x.lst TW    (optional; option words separated by spaces)
//   code: 16                (optional; the expected exit code, default 0)
//   --- input
//   the stream in the notation (line breaks ignored)
//   --- expected
//   the exact HTML, with its own line ends (CR LF unless the levels say otherwise)
//   --- no final line end   (optional: the output stops inside a line)
//
// A line that starts with "#" before the first "===" is a comment. Markers are
// recognised at the start of the file or after CR or LF.
#pragma once

#include <string>
#include <vector>

namespace test_support {

struct ConversionCase {
  std::string file;
  std::string name;
  std::string levels = "5";
  std::vector<std::string> options;
  int code = 0;
  std::string input;     // notation
  std::string expected;  // exact HTML
};

std::vector<ConversionCase> parse_case_file(const std::string &file, const std::string &text);
std::vector<ConversionCase> load_case_directory(const std::string &directory);
// A readable line-by-line difference of two outputs ("" when equal).
std::string describe_difference(const std::string &expected, const std::string &actual);

}  // namespace test_support
