// icf-identify: names the format of each file given, one line per file, as
// "name: CODE/VARIANT description" ("--code": the numbers only). A file that
// cannot be opened or read is reported and makes the exit status 1.
#include <icf2html.h>

#include <cstdio>
#include <cstring>
#include <string_view>

#include "format_names.h"

namespace {

using icf2html::describe;

void usage() { std::fprintf(stderr, "usage: icf-identify [--code] FILE...\n"); }

}  // namespace

int main(int argc, char **argv) {
  bool numbers_only = false;
  int first = 1;
  if (first < argc && std::strcmp(argv[first], "--code") == 0) {
    numbers_only = true;
    ++first;
  }
  if (first < argc && std::strcmp(argv[first], "--") == 0) ++first;
  if (first >= argc) {
    usage();
    return 2;
  }
  int status = 0;
  for (int i = first; i < argc; ++i) {
    int variant = 0;
    const int code = autorec(argv[i], &variant);
    if (code == -1 || code == -2 || code == -3) {
      const char *why = code == -1 ? "cannot open" : code == -2 ? "cannot read" : "out of memory";
      std::printf("%s: %s\n", argv[i], why);
      status = 1;
      continue;
    }
    if (numbers_only) {
      std::printf("%s: %d/%d\n", argv[i], code, variant);
    } else {
      const std::string_view text = describe(code);
      std::printf("%s: %d/%d %.*s\n", argv[i], code, variant, static_cast<int>(text.size()), text.data());
    }
  }
  std::fflush(stdout);
  return status;
}
