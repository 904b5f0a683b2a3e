// Reading .case files and showing differences.
#include "support/case_file.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "support/temp_dir.h"

namespace test_support {

namespace {

// The text's lines, each with the line end that closes it: LF, CR LF or a lone CR.
std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
    end += end == text.size() ? 0 : text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

std::string visible(const std::string &line) {
  std::string out;
  for (char c : line) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  return out;
}

std::vector<ConversionCase> parse_case_file(const std::string &file, const std::string &text) {
  std::vector<ConversionCase> cases;
  std::string ignored;
  std::string *section = nullptr;  // where the lines go; none while the settings are read
  for (const std::string &line : lines_of(text)) {
    const std::string bare = line.substr(0, line.find_first_of("\r\n"));
    if (bare.rfind("=== ", 0) == 0) {
      cases.emplace_back();
      cases.back().file = file;
      cases.back().name = bare.substr(4);
      section = nullptr;
      continue;
    }
    if (cases.empty()) continue;
    ConversionCase &c = cases.back();
    if (bare.rfind("--- ", 0) == 0) {
      section = bare == "--- input" ? &c.input : bare == "--- expected" ? &c.expected : bare == "--- body" ? &c.body : &ignored;
      c.framed = c.framed || bare == "--- body";
      if (bare == "--- no final line end")
        while (c.expected.ends_with('\n') || c.expected.ends_with('\r')) c.expected.pop_back();
    } else if (section) {
      *section += line;
    } else if (bare.rfind("levels: ", 0) == 0) {
      c.levels = bare.substr(8);
    } else if (bare.rfind("code: ", 0) == 0) {
      c.code = std::stoi(bare.substr(6));
    } else if (bare.rfind("options: ", 0) == 0) {
      std::istringstream words(bare.substr(9));
      for (std::string word; words >> word;) c.options.push_back(word);
    }
  }
  return cases;
}

}  // namespace

std::vector<ConversionCase> load_case_directory(const std::string &directory) {
  std::vector<std::string> files;
  for (const auto &entry : std::filesystem::directory_iterator(directory))
    if (entry.path().extension() == ".case") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  std::map<std::string, std::string> frames;
  const std::string frames_file = directory + "/frames.txt";
  if (std::filesystem::exists(frames_file))
    for (const ConversionCase &frame : parse_case_file("frames.txt", read_file(frames_file)))
      frames[frame.name] = frame.expected;
  std::vector<ConversionCase> all;
  for (const std::string &file : files) {
    for (ConversionCase c : parse_case_file(std::filesystem::path(file).filename().string(), read_file(file))) {
      if (c.framed) {
        const auto frame = frames.find(c.levels);
        const std::string::size_type place = frame == frames.end() ? std::string::npos : frame->second.find("{body}\r\n");
        c.expected = place == std::string::npos ? "(no frame for levels " + c.levels + ")"
                                                : std::string(frame->second).replace(place, 8, c.body);
      }
      all.push_back(std::move(c));
    }
  }
  return all;
}

std::vector<ConversionCase> load_stream_cases(const std::string &path) {
  std::vector<ConversionCase> cases = parse_case_file(std::filesystem::path(path).filename().string(), read_file(path));
  for (ConversionCase &c : cases) {
    if (c.input.ends_with('\n')) c.input.pop_back();
    if (c.input.ends_with('\r')) c.input.pop_back();
    std::erase_if(c.expected, [](char ch) { return ch == '\n' || ch == '\r'; });
  }
  return cases;
}

std::string describe_difference(const std::string &expected, const std::string &actual) {
  if (expected == actual) return "";
  const auto want = lines_of(expected);
  const auto got = lines_of(actual);
  std::ostringstream out;
  const std::size_t n = std::max(want.size(), got.size());
  for (std::size_t i = 0; i < n; ++i) {
    const std::string w = i < want.size() ? visible(want[i]) : "(none)";
    const std::string g = i < got.size() ? visible(got[i]) : "(none)";
    if (w == g) out << "  " << w << "\n";
    else out << "- " << w << "\n+ " << g << "\n";
  }
  return out.str();
}

}  // namespace test_support
