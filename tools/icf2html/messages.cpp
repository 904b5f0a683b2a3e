#include "messages.h"

namespace icf2html {

void usage(std::FILE *to) {
  std::fprintf(to,
               "usage: icf2html [-l LEVELS] [-o WORD]... [--progress] INPUT OUTPUT\n"
               "       icf2html --batch OUTDIR [--jobs N] [--report FILE] [--timeout S] [--memory MB]\n"
               "                [--resume] [--dask ADDRESS] INPUT...\n"
               "Converts the intermediate code stream in INPUT into an HTML file OUTPUT\n"
               "(\"-\" writes to standard output).\n"
               "  -l LEVELS   level letter 0-5 and modifier letters E, M, N, P, X (default 5)\n"
               "  -o WORD     an option word for the converter, e.g. -o PE=except.lst\n"
               "  --progress  show the progress bar on standard output\n"
               "  --isolate   convert in a child process under limits (icf2html --isolate --help)\n");
}

Cause cause_of(int code, bool output_written) {
  switch (code) {
    case 1:
      return output_written ? Cause{"a warning was recorded: the input ended inside a code", true}
                            : Cause{"the output file cannot be created or replaced", false};
    case 2: return {"reading the input failed", true};
    case 3: return {"the intermediate file or a temporary file cannot be opened", true};
    case 4: return {"writing the output failed", false};
    case 5: case 12: return {"a warning was recorded: the input ended inside a code", true};
    case 6: return {"the exception list cannot be opened", false};
    case 7: return {"writing the exception list failed", false};
    case 8: return {"not enough memory", true};
    case 10: return {"the disk is full", false};
    case 16: return {"the input is not a well-formed intermediate code stream", true};
    default: return {"the conversion failed", true};
  }
}

}  // namespace icf2html
