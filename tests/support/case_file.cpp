// Reading .case files and showing differences.
#include "support/case_file.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "support/temp_dir.h"

namespace test_support {

namespace {

bool at_line_start(const std::string &text, std::size_t at) {
  return at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r';
}

// Position of the next marker line ("=== " or "--- ") at or after from.
std::size_t next_marker(const std::string &text, std::size_t from) {
  for (std::size_t at = from; at + 4 <= text.size(); ++at) {
    if ((text.compare(at, 4, "=== ") == 0 || text.compare(at, 4, "--- ") == 0) && at_line_start(text, at)) return at;
  }
  return std::string::npos;
}

std::string line_at(const std::string &text, std::size_t at, std::size_t &next) {
  std::size_t end = at;
  while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
  next = end;
  while (next < text.size() && (text[next] == '\n' || text[next] == '\r')) {
    const bool lf = text[next] == '\n';
    ++next;
    if (lf) break;
  }
  return text.substr(at, end - at);
}

std::vector<std::string> split_lines(const std::string &text) {
  std::vector<std::string> lines;
  std::string current;
  for (char c : text) {
    current += c;
    if (c == '\n') {
      lines.push_back(current);
      current.clear();
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

std::string visible(const std::string &line) {
  std::string out;
  for (char c : line) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

}  // namespace

std::vector<ConversionCase> parse_case_file(const std::string &file, const std::string &text) {
  std::vector<ConversionCase> cases;
  std::size_t at = next_marker(text, 0);
  while (at != std::string::npos) {
    std::size_t next;
    const std::string header = line_at(text, at, next);
    if (header.rfind("=== ", 0) != 0) {
      at = next_marker(text, next);
      continue;
    }
    ConversionCase c;
    c.file = file;
    c.name = header.substr(4);
    // Settings lines up to the first "--- ".
    std::size_t body = next;
    const std::size_t section = next_marker(text, body);
    std::istringstream settings(text.substr(body, section == std::string::npos ? std::string::npos : section - body));
    std::string line;
    while (std::getline(settings, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("levels: ", 0) == 0) c.levels = line.substr(8);
      else if (line.rfind("code: ", 0) == 0) c.code = std::stoi(line.substr(6));
      else if (line.rfind("options: ", 0) == 0) {
        std::istringstream words(line.substr(9));
        std::string word;
        while (words >> word) c.options.push_back(word);
      }
    }
    at = section;
    while (at != std::string::npos) {
      const std::string marker = line_at(text, at, next);
      if (marker.rfind("=== ", 0) == 0) break;
      const std::size_t end = next_marker(text, next);
      const std::string content = text.substr(next, end == std::string::npos ? std::string::npos : end - next);
      if (marker == "--- input") c.input = content;
      else if (marker == "--- expected") c.expected = content;
      else if (marker == "--- body") {
        c.body = content;
        c.framed = true;
      }
      else if (marker == "--- no final line end")
        while (!c.expected.empty() && (c.expected.back() == '\n' || c.expected.back() == '\r')) c.expected.pop_back();
      at = end;
    }
    cases.push_back(c);
  }
  return cases;
}

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
  const auto want = split_lines(expected);
  const auto got = split_lines(actual);
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
