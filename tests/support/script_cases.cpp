#include "support/script_cases.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace test_support {

std::string ScriptCase::value_of(const std::string &word) const {
  for (const ScriptStep &step : steps)
    if (step.word == word) return step.rest;
  throw std::runtime_error(name + ": no " + word);
}

bool ScriptCase::has(const std::string &word) const {
  return std::any_of(steps.begin(), steps.end(), [&word](const ScriptStep &s) { return s.word == word; });
}

std::vector<ScriptCase> load_script_cases(const std::string &path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("no case file " + path);
  std::vector<ScriptCase> cases;
  for (std::string line; std::getline(in, line);) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    if (line.rfind("=== ", 0) == 0) {
      std::string name = line.substr(4);
      for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      cases.push_back({name, {}});
    } else if (cases.empty()) {
      throw std::runtime_error(path + ": a step before the first case: " + line);
    } else if (start > 0 && !cases.back().steps.empty()) {
      cases.back().steps.back().rest += " " + line.substr(start);
    } else {
      const std::size_t blank = line.find(' ');
      cases.back().steps.push_back({line.substr(0, blank), blank == std::string::npos ? "" : line.substr(blank + 1)});
    }
  }
  return cases;
}

std::string bytes_of(const std::string &notation) {
  std::string bytes;
  for (std::size_t at = 0; at < notation.size();) {
    if (notation[at] == ' ') {
      ++at;
      continue;
    }
    std::size_t count = 1;
    if (const std::size_t star = notation.find('*', at); star != std::string::npos &&
        notation.find_first_not_of("0123456789", at) == star) {
      count = std::stoul(notation.substr(at, star - at));
      at = star + 1;
    }
    std::string piece;
    if (notation[at] == '"') {
      const std::size_t end = notation.find('"', at + 1);
      if (end == std::string::npos) throw std::runtime_error("unclosed text in " + notation);
      piece = notation.substr(at + 1, end - at - 1);
      at = end + 1;
    } else {
      const std::size_t end = std::min(notation.find_first_of(" \"", at), notation.size());
      if ((end - at) % 2 != 0) throw std::runtime_error("odd hex digits in " + notation);
      for (; at < end; at += 2) piece += static_cast<char>(std::stoi(notation.substr(at, 2), nullptr, 16));
    }
    for (std::size_t i = 0; i < count; ++i) bytes += piece;
  }
  return bytes;
}

std::vector<std::string> words_of(const std::string &rest) {
  std::istringstream in(rest);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string after_words(const std::string &rest, std::size_t count) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < count; ++i) at = rest.find_first_of(' ', rest.find_first_not_of(' ', at));
  return at == std::string::npos ? "" : rest.substr(at);
}

}  // namespace test_support
