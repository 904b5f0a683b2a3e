// Documents given to icf2html instead of an intermediate stream. The input's
// format is found with the library's recogniser; a document format is read by
// the suite's reader program for that format, found by the suite's naming rule
// in icf2html's own directory (or along the search path when icf2html was
// started without one). The reader writes the stream into a pipe, and the
// writer converts it as it comes: reader and writer run side by side, and no
// stream file is written.
#pragma once

#include <sys/types.h>

#include <string>

namespace icf2html {

struct DocumentInput {
  int format = 0;      // the recogniser's format number
  std::string stream;  // the name under which the writer reads the pipe; empty when the input is a stream itself
  int pipe_end = -1;   // the pipe's read end, open while the reader runs
  pid_t reader = -1;
  std::string reader_name;  // the reader program's first name, for messages

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

// The reader program names for a document format, first and second choice,
// each prefixed by the directory of program (the text up to its last "/").
void reader_program_names(const char *program, int format, std::string &first, std::string &second);

}  // namespace icf2html
