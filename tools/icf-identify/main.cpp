// icf-identify: names the format of each file given, one line per file, in
// the manner of file(1). The exit status is 1 when a file could not be read,
// 2 on a usage error.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <icf2html.h>

#include "identify_file.h"

namespace {

enum class Show { description, mime, code };

struct Settings {
  Show show = Show::description;
  bool brief = false;
  std::vector<std::string> names;
  std::vector<std::string> name_lists;  // -f FILE: further names, one a line
};

void usage(std::FILE *to) {
  std::fprintf(to,
               "usage: icf-identify [-b] [-i | --code] [-f FILE] [--] FILE...\n"
               "Names the format of each FILE (\"-\" is standard input).\n"
               "  -b, --brief      do not prefix the answer with the file name\n"
               "  -i, --mime-type  print the MIME type instead of a description\n"
               "  --code           print the library's format number and variant\n"
               "  -f FILE          read the names to identify from FILE, one a line\n"
               "  --help, --version\n");
}

// Parses the command line; returns -1 to go on, else the exit status.
int parse(int argc, char **argv, Settings &settings) {
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (!options || a == "-" || a.empty() || a[0] != '-') {
      settings.names.emplace_back(a);
    } else if (a == "--") {
      options = false;
    } else if (a == "--help") {
      usage(stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("icf-identify %s (library %s)\n", ICF2HTML_VERSION, icf2html_version());
      return 0;
    } else if (a == "-b" || a == "--brief") {
      settings.brief = true;
    } else if (a == "-i" || a == "--mime-type") {
      settings.show = Show::mime;
    } else if (a == "--code") {
      settings.show = Show::code;
    } else if (a == "-f" && i + 1 < argc) {
      settings.name_lists.emplace_back(argv[++i]);
    } else if (a.starts_with("-f") && a.size() > 2) {
      settings.name_lists.emplace_back(a.substr(2));
    } else {
      std::fprintf(stderr, "icf-identify: unknown option %s\n", argv[i]);
      usage(stderr);
      return 2;
    }
  }
  return -1;
}

// Appends the names listed in `list`, one a line; false when it cannot be read.
bool read_name_list(const std::string &list, std::vector<std::string> &names) {
  std::FILE *f = list == "-" ? stdin : std::fopen(list.c_str(), "r");
  if (!f) return false;
  std::string line;
  for (int c; (c = std::fgetc(f)) != EOF;) {
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
    } else if (!line.empty()) {
      names.push_back(std::move(line));
      line.clear();
    }
  }
  if (!line.empty()) names.push_back(line);
  const bool ok = !std::ferror(f);
  if (f != stdin) std::fclose(f);
  return ok;
}

void print(const std::string &name, const identify::Identity &id, const Settings &settings) {
  if (!settings.brief) std::printf("%s: ", name.c_str());
  if (settings.show == Show::code && id.recognised) {
    std::printf("%d/%d\n", id.code, id.variant);
    return;
  }
  const std::string_view text = settings.show == Show::mime ? id.mime : id.description;
  std::printf("%.*s\n", static_cast<int>(text.size()), text.data());
}

}  // namespace

int main(int argc, char **argv) {
  Settings settings;
  if (const int status = parse(argc, argv, settings); status >= 0) return status;
  int status = 0;
  for (const std::string &list : settings.name_lists) {
    if (!read_name_list(list, settings.names)) {
      std::fprintf(stderr, "icf-identify: cannot read the list of names %s\n", list.c_str());
      status = 1;
    }
  }
  if (settings.names.empty()) {
    if (status == 0) usage(stderr);
    return status != 0 ? status : 2;
  }
  for (const std::string &name : settings.names) {
    const identify::Outcome outcome = identify::identify_name(name);
    if (!outcome.failure.empty()) {
      std::fflush(stdout);
      std::fprintf(stderr, "icf-identify: %s: %s\n", name.c_str(), outcome.failure.c_str());
      status = 1;
      continue;
    }
    print(name, outcome.identity, settings);
  }
  return std::fflush(stdout) == 0 ? status : 1;
}
