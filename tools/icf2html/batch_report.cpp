#include "batch_report.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>

namespace icf2html {
namespace {

void append_json_string(std::string &out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

// The string value of "key" in a line this file wrote, unescaped; false when
// the key is absent or its value is not a string (null).
bool string_field(std::string_view line, std::string_view key, std::string &value) {
  const std::string marker = "\"" + std::string(key) + "\": \"";
  const auto start = line.find(marker);
  if (start == std::string_view::npos) return false;
  value.clear();
  for (auto i = start + marker.size(); i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') return true;
    if (c == '\\' && i + 1 < line.size()) {
      c = line[++i];
      if (c == 'u' && i + 4 < line.size()) {
        c = static_cast<char>(std::strtol(std::string(line.substr(i + 1, 4)).c_str(), nullptr, 16));
        i += 4;
      }
    }
    value += c;
  }
  return false;  // a line cut short by an interruption
}

}  // namespace

std::string json_line(const ReportRow &row) {
  std::string line = "{\"input\": ";
  append_json_string(line, row.input);
  line += ", \"output\": ";
  if (row.output.empty()) line += "null";
  else append_json_string(line, row.output);
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, ", \"code\": %d, \"meaning\": ", row.code);
  line += numbers;
  append_json_string(line, row.meaning);
  std::snprintf(numbers, sizeof numbers, ", \"seconds\": %.6f, \"pictures\": %d}\n", row.seconds, row.pictures);
  line += numbers;
  return line;
}

std::set<std::string> settled_inputs(const std::string &report) {
  std::set<std::string> settled;
  std::ifstream lines(report);
  std::string line;
  const std::string skipped = "\"code\": " + std::to_string(code_skipped) + ",";
  while (std::getline(lines, line)) {
    std::string input, output;
    if (!string_field(line, "input", input)) continue;
    if (string_field(line, "output", output) || line.find(skipped) != std::string::npos) settled.insert(input);
  }
  return settled;
}

}  // namespace icf2html
