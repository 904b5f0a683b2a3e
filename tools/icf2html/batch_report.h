// The batch's report: one JSON object per document on a line of its own,
// written as each document ends, and read back by --resume.
#pragma once

#include <set>
#include <string>

namespace icf2html {

// The batch's own codes, above the converter's.
inline constexpr int code_time_limit = 101;    // killed at the time limit
inline constexpr int code_memory_limit = 102;  // ran out of memory under the memory limit
inline constexpr int code_crashed = 103;       // ended by a signal
inline constexpr int code_skipped = 104;       // not a document icf2html reads; no page
inline constexpr int code_unreadable = 105;    // the file cannot be opened or read
inline constexpr int code_refused_file = 106;  // the conversion asked for a file that is not its own
inline constexpr int code_no_isolation = 107;  // no private folder, channel or process could be made

struct ReportRow {
  std::string input;   // the path as found from the INPUT given
  std::string output;  // the page, or "" when none was written
  int code = 0;
  std::string meaning;
  double seconds = 0;
  int pictures = 0;
};

// A row converted counts as done; a skipped file is not a failure either.
inline bool converted(const ReportRow &row) { return !row.output.empty(); }
inline bool failed(const ReportRow &row) { return !converted(row) && row.code != code_skipped; }

// The row as one line of JSON, with its line end.
std::string json_line(const ReportRow &row);

// The inputs that an existing report shows settled (converted or skipped);
// an absent report settles nothing.
std::set<std::string> settled_inputs(const std::string &report);

}  // namespace icf2html
