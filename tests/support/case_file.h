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
// Instead of "--- expected", "--- body" gives only what stands between the
// frame that every case at its level shares: frames.txt beside the cases holds
// one frame per level letters, in the same form, with the line {body} where
// the body goes.
//
// A line that starts with "#" before the first "===" is a comment. Markers are
// recognised at the start of the file or after CR or LF.
#pragma once

#include <ostream>
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
  std::string body;      // the body inside the level's frame, when framed
  bool framed = false;
};

inline void PrintTo(const ConversionCase &c, std::ostream *os) { *os << c.file << ": " << c.name; }

// Every case of the directory's .case files, framed cases put into their frames.
std::vector<ConversionCase> load_case_directory(const std::string &directory);
// The cases of a file whose inputs are a document's bytes as they stand (but
// for the line end that closes the section) and whose expected outputs are
// streams in the notation, split into lines only for reading.
std::vector<ConversionCase> load_stream_cases(const std::string &path);
// A readable line-by-line difference of two outputs ("" when equal).
std::string describe_difference(const std::string &expected, const std::string &actual);

}  // namespace test_support
