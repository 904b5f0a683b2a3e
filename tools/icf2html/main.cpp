// icf2html: converts an intermediate code stream file into HTML through the
// shared library, as any host program does. This file reads the command line
// and dispatches; each job lives in its own file beside it.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <icf2html.h>

#include "batch.h"
#include "isolation_command.h"
#include "messages.h"
#include "single_conversion.h"

int main(int argc, char **argv) {
  if (icf2html::is_batch_command(argc, argv)) return icf2html::batch_main(argc, argv);
  if (icf2html::asks_for_isolation(argc, argv)) return icf2html::isolated_main(argc, argv);
  icf2html::ConversionRequest request;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      icf2html::usage(stdout);
      return icf2html::status_converted;
    }
    if (arg == "--version") {
      std::printf("icf2html %s (library %s)\n", ICF2HTML_VERSION, icf2html_version());
      return 0;
    }
    if ((arg == "-l" || arg == "-o") && i + 1 < argc) {
      (arg == "-l" ? request.levels : request.words.emplace_back()) = argv[++i];
    } else if (arg == "--progress") {
      request.show_progress = true;
    } else if (arg == "--trusted") {
      request.trusted = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      icf2html::report(arg, "unknown option");
      icf2html::usage(stderr);
      return icf2html::status_usage;
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) {
    icf2html::usage(stderr);
    return icf2html::status_usage;
  }
  request.program = argv[0];
  request.input = files[0];
  request.output = files[1];
  return icf2html::convert_one(std::move(request));
}
