// icfasm: turns the stream notation into an intermediate code stream.
#include <cstdio>
#include <cstring>
#include <string>

#include <icf2html.h>

#include "stream_notation.h"
#include "tool_files.h"

int main(int argc, char **argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("icfasm %s\n", ICF2HTML_VERSION);
    return 0;
  }
  if (argc > 3 || (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))) {
    std::printf("usage: icfasm [NOTATION [STREAM]]\n"
                "Turns the readable notation of an intermediate code stream into its bytes.\n"
                "Without names, reads standard input and writes standard output.\n");
    return argc > 3 ? 2 : 0;
  }
  const char *in = argc > 1 ? argv[1] : "-";
  const char *out = argc > 2 ? argv[2] : "-";
  notation::Assembler assembler;
  std::string error;
  const auto outcome = tool_files::translate(
      in, out, [&](std::string_view text, std::string &bytes) { return assembler.feed(text, bytes, error); },
      [&](std::string &bytes) { return assembler.finish(bytes, error); });
  const char *in_shown = argc > 1 ? in : "standard input";
  const char *out_shown = argc > 2 ? out : "standard output";
  switch (outcome) {
    case tool_files::Outcome::done: return 0;
    case tool_files::Outcome::cannot_read: std::fprintf(stderr, "icfasm: cannot read %s\n", in_shown); break;
    case tool_files::Outcome::cannot_write: std::fprintf(stderr, "icfasm: cannot write %s\n", out_shown); break;
    case tool_files::Outcome::malformed: std::fprintf(stderr, "icfasm: %s: %s\n", in_shown, error.c_str()); break;
  }
  return 1;
}
