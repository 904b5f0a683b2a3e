#include "batch_plan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include <icf2html.h>

#include "document_input.h"
#include "format_names.h"

namespace icf2html {
namespace {

constexpr int stream_format = 3;

std::string without_extension(const std::string &path) {
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return has_extension ? path.substr(0, dot) : path;
}

}  // namespace

BatchPlanner::BatchPlanner(const std::vector<std::string> &inputs, const std::string &outdir,
                           const std::set<std::string> &settled, const char *program)
    : program_(program), outdir_(outdir + (outdir.ends_with('/') ? "" : "/")), settled_(settled) {
  for (const std::string &input : inputs) {
    struct stat info{};
    if (stat(input.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      walk_folder(input, "");
    } else {
      const auto slash = input.rfind('/');
      found_.push_back({input, slash == std::string::npos ? input : input.substr(slash + 1)});
    }
  }
  total_ = static_cast<std::size_t>(
      std::ranges::count_if(found_, [this](const Found &found) { return !settled_.contains(found.input); }));
}

void BatchPlanner::walk_folder(const std::string &folder, const std::string &relative) {
  dirent **entries = nullptr;
  const int count = scandir(folder.c_str(), &entries, nullptr, alphasort);
  if (count < 0) {
    found_.push_back({folder, ""});
    return;
  }
  for (int i = 0; i < count; ++i) {
    const std::string name = entries[i]->d_name;
    std::free(entries[i]);
    if (name.starts_with('.')) continue;  // hidden, and the folder's own entries
    const std::string path = folder + (folder.ends_with('/') ? "" : "/") + name;
    const std::string below = relative.empty() ? name : relative + "/" + name;
    struct stat info{};
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) walk_folder(path, below);
    else if (S_ISREG(info.st_mode)) found_.push_back({path, below});
  }
  std::free(entries);
}

bool BatchPlanner::next(PlannedDocument &document) {
  while (at_ < found_.size()) {
    const Found &found = found_[at_++];
    document = {found.input, "", 0, ""};
    if (found.relative.empty()) {
      document.skip_code = code_unreadable;
      document.skip_reason = "the folder cannot be read";
    } else {
      int variant = 0;
      const int format = autorec(found.input.c_str(), &variant);
      if (format == -1 || format == -3) {
        document.skip_code = code_unreadable;
        document.skip_reason = "the file cannot be opened";
      } else if (format == -2) {
        document.skip_code = code_skipped;
        document.skip_reason = "skipped: the file is empty";
      } else if (!readable(format)) {
        document.skip_code = code_skipped;
        const std::string_view what = format == 0 ? "not recognised" : identify::library_format(format).description;
        document.skip_reason = "skipped: not a document icf2html reads (" + std::string(what) + ")";
      } else {
        const std::string stem = outdir_ + without_extension(found.relative);
        document.page = stem + ".html";
        for (int n = 2; taken_.contains(document.page); ++n) document.page = stem + "-" + std::to_string(n) + ".html";
        taken_.insert(document.page);
        document.stream = format == stream_format;
      }
    }
    if (!settled_.contains(found.input)) return true;
  }
  return false;
}

// Whether a single conversion reads the format: the stream itself, or a
// document whose reader program is there to run.
bool BatchPlanner::readable(int format) {
  if (format == stream_format) return true;
  if (format <= 0 || is_graphic_format(format)) return false;
  const auto [known, added] = has_reader_.try_emplace(format, false);
  if (added) known->second = !find_reader_program(program_, format).empty();
  return known->second;
}

ReportRow skipped_row(const PlannedDocument &document) {
  return {document.input, "", document.skip_code, document.skip_reason, 0.0, 0};
}

}  // namespace icf2html
