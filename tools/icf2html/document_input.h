// Documents given to icf2html instead of an intermediate stream. The input's
// format is found with the library's recogniser; a document format is read
// into a temporary intermediate stream by the suite's reader program for that
// format, found by the suite's naming rule in icf2html's own directory (or
// along the search path when icf2html was started without one).
#pragma once

#include <string>

namespace icf2html {

struct DocumentInput {
  int format = 0;      // the recogniser's format number
  std::string stream;  // the intermediate file the reader wrote; empty when the input is a stream itself
  bool timed_out = false;  // the reader was stopped at its time limit
};

// Limits for a reader that runs as its own process beside an isolated
// conversion: it then leads a process group of its own, which is killed at
// the time limit. With none (the default) the reader runs as any program
// icf2html starts.
struct ReaderLimits {
  double seconds = 0;   // wall clock; 0 for none
  long memory_mib = 0;  // address space; 0 for none
};

// 0 when the input can be converted: an intermediate stream (result.stream
// empty) or a document read into a new file in dir. Otherwise prints one line
// naming the input's format and the cause (none when the reader was stopped at
// its time limit), and returns the exit status 1.
int read_document_input(const char *program, const char *input, const std::string &dir, DocumentInput &result,
                        const ReaderLimits &limits = {});

// Pictures (formats 500-699) have no reader: they are not documents.
bool is_graphic_format(int format);

// The graphic converter programs are installed beside icf2html: the word
// "E=" and icf2html's folder, or "" when that cannot be found. A conversion
// puts it first, so that a word of the user's own wins.
std::string converter_folder_word();

// The reader program names for a document format, first and second choice,
// each prefixed by the directory of program (the text up to its last "/").
void reader_program_names(const char *program, int format, std::string &first, std::string &second);

}  // namespace icf2html
