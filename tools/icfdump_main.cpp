// icfdump: shows an intermediate code stream in the readable notation.
#include <cstdio>
#include <cstring>
#include <string>

#include "stream_notation.h"
#include "tool_files.h"

int main(int argc, char **argv) {
  if (argc > 3 || (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))) {
    std::printf("usage: icfdump [STREAM [NOTATION]]\n"
                "Writes an intermediate code stream in its readable notation.\n"
                "Without names, reads standard input and writes standard output.\n");
    return argc > 3 ? 2 : 0;
  }
  std::string bytes;
  if (!tool_files::read_all(argc > 1 ? argv[1] : "-", bytes)) {
    std::fprintf(stderr, "icfdump: cannot read %s\n", argc > 1 ? argv[1] : "standard input");
    return 1;
  }
  if (!tool_files::write_all(argc > 2 ? argv[2] : "-", notation::to_notation(bytes))) {
    std::fprintf(stderr, "icfdump: cannot write %s\n", argc > 2 ? argv[2] : "standard output");
    return 1;
  }
  return 0;
}
