// What a batch converts: the walk of its inputs, the page each document
// becomes, and the files it skips.
#pragma once

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
std::vector<PlannedDocument> plan_batch(const std::vector<std::string> &inputs, const std::string &outdir,
                                        const std::set<std::string> &settled, const char *program);

// A report row for a skipped file.
ReportRow skipped_row(const PlannedDocument &document);

}  // namespace icf2html
