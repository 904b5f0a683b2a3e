// Documents given to icf2html instead of an intermediate stream. The input's
// format is found with the library's recogniser; a document format is read by
// the suite's reader program for that format, named by the suite's naming rule
// and found in icf2html's own directory, else along the search path. The reader writes the stream into a pipe, and the
// writer converts it as it comes: reader and writer run side by side, and no
// stream file is written. An isolated conversion instead runs the reader to
// its end under limits, into a file of its private folder.
#pragma once

#include <sys/types.h>

#include <string>

namespace icf2html {

struct DocumentInput {
  int format = 0;      // the recogniser's format number
  std::string stream;  // where the writer reads the stream; empty when the input is a stream itself
  int pipe_end = -1;   // the pipe's read end, open while a piped reader runs
  pid_t reader = -1;
  std::string reader_name;  // the reader program's first name, for messages
  bool timed_out = false;   // a limited reader was stopped at its time limit

  DocumentInput() = default;
  DocumentInput(const DocumentInput &) = delete;
  DocumentInput &operator=(const DocumentInput &) = delete;
  // Closes the pipe (a reader still writing then ends) and waits for the reader.
  ~DocumentInput();
};

// 0 when the input can be converted: an intermediate stream (result.stream
// empty) or a document whose reader now runs, its stream readable under a
// new name in dir (removed like a stream file). Otherwise prints one line
// naming the input's format and the cause, and returns the exit status 1.
int read_document_input(const char *program, const char *input, const std::string &dir, DocumentInput &result);

// Once the writer has read the stream: waits for the reader; 0 when it read
// the whole document, otherwise prints one line naming the input's format and
// the cause, and returns 1.
int finish_document_input(const char *input, DocumentInput &document);

// Limits for a reader that runs as its own process beside an isolated
// conversion: it then leads a process group of its own, which is killed at
// the time limit.
struct ReaderLimits {
  double seconds = 0;   // wall clock; 0 for none
  long memory_mib = 0;  // address space; 0 for none
};

// As read_document_input, but the reader runs to its end under limits and
// writes its stream into a new file in dir (result.stream), which the caller
// removes. No line is printed when the reader was stopped at its time limit
// (result.timed_out).
int read_document_to_file(const char *program, const char *input, const std::string &dir, DocumentInput &result,
                          const ReaderLimits &limits);

// Pictures (formats 500-699) have no reader: they are not documents.
bool is_graphic_format(int format);

// The graphic converter programs are installed beside icf2html: the word
// "E=" and icf2html's folder, or "" when that cannot be found. A conversion
// puts it first, so that a word of the user's own wins.
std::string converter_folder_word();

// The reader program names for a document format, first and second choice,
// each prefixed by the directory of program (the text up to its last "/").
void reader_program_names(const char *program, int format, std::string &first, std::string &second);

// The reader program a conversion runs for a document format: either name
// beside program, else either name along PATH; "" when none is installed.
// A batch's walk asks the same, so that it converts what a single conversion reads.
std::string find_reader_program(const char *program, int format);

}  // namespace icf2html
