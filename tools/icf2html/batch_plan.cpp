#include "batch_plan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <string_view>

#include <icf2html.h>

#include "document_input.h"
#include "format_names.h"

namespace icf2html {
namespace {

constexpr int stream_format = 3;

struct Walk {
  const char *program;
  const std::string &outdir;
  const std::set<std::string> &settled;
  std::set<std::string> taken;  // page names given so far
  std::map<int, bool> has_reader;  // by format, looked up once per walk
  std::vector<PlannedDocument> documents;
};

std::string without_extension(const std::string &path) {
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return has_extension ? path.substr(0, dot) : path;
}

std::string unique_page(Walk &walk, const std::string &relative) {
  const std::string stem = walk.outdir + (walk.outdir.ends_with('/') ? "" : "/") + without_extension(relative);
  std::string page = stem + ".html";
  for (int n = 2; walk.taken.contains(page); ++n) page = stem + "-" + std::to_string(n) + ".html";
  walk.taken.insert(page);
  return page;
}

// Whether a single conversion reads the format: the stream itself, or a
// document whose reader program is there to run.
bool readable(Walk &walk, int format) {
  if (format == stream_format) return true;
  if (format <= 0 || is_graphic_format(format)) return false;
  const auto [known, added] = walk.has_reader.try_emplace(format, false);
  if (added) known->second = !find_reader_program(walk.program, format).empty();
  return known->second;
}

void add_file(Walk &walk, const std::string &input, const std::string &relative) {
  PlannedDocument document{input, "", 0, ""};
  int variant = 0;
  const int format = autorec(input.c_str(), &variant);
  if (format == -1 || format == -3) {
    document.skip_code = code_unreadable;
    document.skip_reason = "the file cannot be opened";
  } else if (format == -2) {
    document.skip_code = code_skipped;
    document.skip_reason = "skipped: the file is empty";
  } else if (!readable(walk, format)) {
    document.skip_code = code_skipped;
    const std::string_view found = format == 0 ? "not recognised" : identify::library_format(format).description;
    document.skip_reason = "skipped: not a document icf2html reads (" + std::string(found) + ")";
  } else {
    document.page = unique_page(walk, relative);
    document.stream = format == stream_format;
  }
  if (!walk.settled.contains(input)) walk.documents.push_back(std::move(document));
}

void walk_folder(Walk &walk, const std::string &folder, const std::string &relative) {
  dirent **entries = nullptr;
  const int count = scandir(folder.c_str(), &entries, nullptr, alphasort);
  if (count < 0) {
    walk.documents.push_back({folder, "", code_unreadable, "the folder cannot be read"});
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
    if (S_ISDIR(info.st_mode)) walk_folder(walk, path, below);
    else if (S_ISREG(info.st_mode)) add_file(walk, path, below);
  }
  std::free(entries);
}

}  // namespace

std::vector<PlannedDocument> plan_batch(const std::vector<std::string> &inputs, const std::string &outdir,
                                        const std::set<std::string> &settled, const char *program) {
  Walk walk{program, outdir, settled, {}, {}, {}};
  for (const std::string &input : inputs) {
    struct stat info{};
    if (stat(input.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      walk_folder(walk, input, "");
    } else {
      const auto slash = input.rfind('/');
      add_file(walk, input, slash == std::string::npos ? input : input.substr(slash + 1));
    }
  }
  return std::move(walk.documents);
}

ReportRow skipped_row(const PlannedDocument &document) {
  return {document.input, "", document.skip_code, document.skip_reason, 0.0, 0};
}

}  // namespace icf2html
