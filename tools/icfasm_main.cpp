// icfasm: turns the stream notation into an intermediate code stream.
#include <cstdio>
#include <cstring>
#include <string>

#include "stream_notation.h"
#include "tool_files.h"

int main(int argc, char **argv) {
  if (argc > 3 || (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))) {
    std::printf("usage: icfasm [NOTATION [STREAM]]\n"
                "Turns the readable notation of an intermediate code stream into its bytes.\n"
                "Without names, reads standard input and writes standard output.\n");
    return argc > 3 ? 2 : 0;
  }
  std::string text;
  if (!tool_files::read_all(argc > 1 ? argv[1] : "-", text)) {
    std::fprintf(stderr, "icfasm: cannot read %s\n", argc > 1 ? argv[1] : "standard input");
    return 1;
  }
  std::string bytes, error;
  if (!notation::from_notation(text, bytes, error)) {
    std::fprintf(stderr, "icfasm: %s: %s\n", argc > 1 ? argv[1] : "standard input", error.c_str());
    return 1;
  }
  if (!tool_files::write_all(argc > 2 ? argv[2] : "-", bytes)) {
    std::fprintf(stderr, "icfasm: cannot write %s\n", argc > 2 ? argv[2] : "standard output");
    return 1;
  }
  return 0;
}
