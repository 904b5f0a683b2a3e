// What a batch converts: the walk of its inputs, the page each document
// becomes, and the files it skips.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "batch_report.h"

namespace icf2html {

struct PlannedDocument {
  std::string input;  // the path as found from the INPUT given
  std::string page;   // OUTDIR/..., ending in .html; "" for a skipped file
  int skip_code = 0;  // 0, or the report code of a file that is not converted
  std::string skip_reason;
  bool stream = false;  // recognised as an intermediate stream (no reader needed)
};

// Every file of the inputs in argument order, each folder walked recursively
// in name order (hidden files and folders, and links, left out). A document
// from a folder INPUT becomes OUTDIR/<its path below that folder>, a file
// given directly OUTDIR/<its name>, with .html for its extension; a page name
// already taken gets -2, -3, ... before .html. Inputs in `settled` are left
// out (they still take their names, so the names are the same on every run).
// Documents are intermediate streams and the document formats (RTF) whose
// reader program is installed beside `program`, as icf2html looks it up.
//
// The walk is made at once, which is cheap; each file is recognised and named
// only when it is asked for, so that a batch starts converting at once and
// plans the rest while its workers convert.
class BatchPlanner {
 public:
  BatchPlanner(const std::vector<std::string> &inputs, const std::string &outdir,
               const std::set<std::string> &settled, const char *program);
  // The next file, planned; false when every one has been.
  bool next(PlannedDocument &document);
  // How many files next() gives in all.
  std::size_t total() const { return total_; }

 private:
  struct Found {
    std::string input;     // the path as found from the INPUT given
    std::string relative;  // the page's path below OUTDIR, before .html; "" for a folder that cannot be read
  };
  void walk_folder(const std::string &folder, const std::string &relative);
  bool readable(int format);

  const char *program_;
  std::string outdir_;
  std::set<std::string> settled_;
  std::vector<Found> found_;
  std::size_t at_ = 0, total_ = 0;
  std::set<std::string> taken_;          // page names given so far
  std::map<int, bool> has_reader_;       // by format, looked up once
};

// A report row for a skipped file.// A report row for a skipped file.
ReportRow skipped_row(const PlannedDocument &document);

}  // namespace icf2html
