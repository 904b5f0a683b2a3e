// Cases kept as data: a file of blocks, each "=== name" followed by its steps,
// one to a line, each a word and the rest of the line. The name, with every
// mark but letters and digits made "_", names the test. A line that starts
// with blanks goes on the line before; "#" starts a comment line.
//
// Bytes are written as hex pairs ("0105 00FF"), quoted text ("abc"), or a
// count and a star before either ("300*00", "20*\"x\"").
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace test_support {

struct ScriptStep {
  std::string word;
  std::string rest;
};

struct ScriptCase {
  std::string name;
  std::vector<ScriptStep> steps;
  // The rest of the first step of that word.
  std::string value_of(const std::string &word) const;
  bool has(const std::string &word) const;
};

inline void PrintTo(const ScriptCase &c, std::ostream *os) { *os << c.name; }

// The cases of the file at path.
std::vector<ScriptCase> load_script_cases(const std::string &path);
// The bytes that the notation above writes.
std::string bytes_of(const std::string &notation);
// The rest of a step split at blanks.
std::vector<std::string> words_of(const std::string &rest);
// The rest of a step after its first count words.
std::string after_words(const std::string &rest, std::size_t count);

}  // namespace test_support
