// icfdump: shows an intermediate code stream in the readable notation.
#include <cstdio>
#include <cstring>
#include <string>

#include <icf2html.h>

#include "stream_notation.h"
#include "tool_files.h"

int main(int argc, char **argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("icfdump %s\n", ICF2HTML_VERSION);
    return 0;
  }
  if (argc > 3 || (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))) {
    std::printf("usage: icfdump [STREAM [NOTATION]]\n"
                "Writes an intermediate code stream in its readable notation.\n"
                "Without names, reads standard input and writes standard output.\n");
    return argc > 3 ? 2 : 0;
  }
  const char *in = argc > 1 ? argv[1] : "-";
  const char *out = argc > 2 ? argv[2] : "-";
  notation::Dumper dumper;
  const auto outcome = tool_files::translate(
      in, out,
      [&](std::string_view bytes, std::string &text) {
        dumper.feed(bytes, text);
        return true;
      },
      [&](std::string &text) {
        dumper.finish(text);
        return true;
      });
  switch (outcome) {
    case tool_files::Outcome::done: return 0;
    case tool_files::Outcome::cannot_read:
      std::fprintf(stderr, "icfdump: cannot read %s\n", argc > 1 ? in : "standard input");
      break;
    case tool_files::Outcome::cannot_write:
    case tool_files::Outcome::malformed:
      std::fprintf(stderr, "icfdump: cannot write %s\n", argc > 2 ? out : "standard output");
      break;
  }
  return 1;
}
