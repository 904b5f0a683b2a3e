// The RTF file to stream file conversion over the library's file layer and
// buffered target.
#include "rtf_file_conversion.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "rtf_code_pages.h"
#include "rtf_reader.h"
#include "runtime/file_layer.h"
#include "runtime/memory.h"
#include "stream/buffered_io.h"

namespace kiv {

int convert_rtf_file(const char *rtf_name, const char *icf_name) {
  const int in_fd = open(rtf_name, O_RDONLY);
  if (in_fd == -1) return rtf_status_read_failed;
  RtfInput input;
  if (!rtf_input_open_fd(input, in_fd)) {
    close(in_fd);
    return rtf_status_read_failed;
  }
  KIVOSInitialize();
  // "stdout" is the standard output, as the file layer names it: the stream
  // then goes down a pipe to a writer that converts it as it comes. A stream
  // file is read once by the writer and removed: it is written as the library
  // writes its temporary files, without waiting for the disk at each block.
  const bool to_stdout = std::strcmp(icf_name, "stdout") == 0;
  const int out = to_stdout ? STDOUT_FILENO : KIVopen(icf_name, open_create, kind_temporary);
  int status = rtf_status_target_failed;
  if (out != -1 && b_open(-1, out, 1 << 16) == 0) {
    status = read_rtf(input);
    b_close();
  }
  if (out != -1 && !to_stdout) KIVclose(out);
  if (status != rtf_status_ok && !to_stdout) KIVunlink(icf_name);
  rtf_input_close(input);
  release_code_pages();
  close(in_fd);
  KIVFreeAll();
  return status;
}

}  // namespace kiv
