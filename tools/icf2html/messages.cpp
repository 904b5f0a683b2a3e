#include "messages.h"

#include <cstring>

namespace icf2html {

void usage(std::FILE *to) {
  std::fprintf(to,
               "usage: icf2html [-l LEVELS] [-o WORD]... [--progress] [--trusted] INPUT OUTPUT\n"
               "       icf2html --batch OUTDIR [--jobs N] [--report FILE] [--timeout S] [--memory MB]\n"
               "                [--resume] [--dask ADDRESS] INPUT...\n"
               "Converts the intermediate code stream in INPUT into an HTML file OUTPUT\n"
               "(\"-\" reads standard input or writes standard output).\n"
               "  -l LEVELS   level letter 0-5 and modifier letters E, M, N, P, X (default 5)\n"
               "  -o WORD     an option word for the converter, e.g. -o PE=except.lst\n"
               "  --progress  draw a progress bar on standard error when it is a terminal\n"
               "  --isolate   convert in a child process under limits (icf2html --isolate --help)\n"
               "  --trusted   the document is trusted: its texts are written exactly as the\n"
               "              converter has them (by default they cannot become markup or\n"
               "              script links)\n"
               "A failed conversion leaves OUTPUT as it was. Exit status: 0 converted,\n"
               "1 the conversion failed, 2 usage, 3 INPUT cannot be read, 4 OUTPUT cannot\n"
               "be written, 5 converted with a warning, 130 and 143 interrupted by SIGINT\n"
               "or SIGTERM.\n"
               "INPUT may also be a document that a reader program of the suite converts into\n"
               "an intermediate stream first (RTF: w019funx, beside icf2html); for documents\n"
               "the option word UNICODE is on, so characters beyond the writer's character sets\n"
               "are written as numeric character references, and so is HEADERROWS, so cells of\n"
               "the document's header rows are written as TH.\n");
}

void report(const std::string &file, const std::string &cause) {
  std::fprintf(stderr, "icf2html: %s: %s\n", file.c_str(), cause.c_str());
}

std::string with_reason(const std::string &cause, int error_number) {
  return cause + ": " + std::strerror(error_number);
}

Cause cause_of(int code) {
  switch (code) {
    case 1: return {"the output file cannot be created or replaced", false, status_output_unwritable};
    case 2: return {"reading the input failed", true, status_conversion_failed};
    case 3: return {"the intermediate file or a temporary file cannot be opened", true, status_conversion_failed};
    case 4: return {"writing the output failed", false, status_output_unwritable};
    case 5: case 12: return {"warning: the input ended inside a code", true, status_converted_with_warning};
    case 6: return {"the exception list cannot be opened", false, status_conversion_failed};
    case 7: return {"writing the exception list failed", false, status_conversion_failed};
    case 8: return {"not enough memory", true, status_conversion_failed};
    case 10: return {"the disk is full", false, status_output_unwritable};
    case 16: return {"the input is not a well-formed intermediate code stream", true, status_conversion_failed};
    default: return {"the conversion failed", true, status_conversion_failed};
  }
}

}  // namespace icf2html
