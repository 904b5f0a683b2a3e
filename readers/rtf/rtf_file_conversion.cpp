// The RTF file to stream file conversion over the library's file layer and
// buffered target.
#include "rtf_file_conversion.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstring>
#include <ctime>

#include "rtf_code_pages.h"
#include "rtf_pipe_output.h"
#include "rtf_reader.h"
#include "objects/graphic_converters.h"
#include "runtime/file_layer.h"
#include "runtime/memory.h"
#include "stream/buffered_io.h"

namespace kiv {
namespace {

constexpr std::array ending_signals = {SIGTERM, SIGINT, SIGHUP};
std::array<struct sigaction, ending_signals.size()> previous_actions{};

constexpr int converter_grace_polls = 100;  // of 10 ms: a converter has a second to end of the signal

// A converter program that the reader waits for is ended first, so that it
// cannot write its output after the output was removed: it gets the same
// signal and a second to clean up after itself, then SIGKILL.
void stop_converter(int signal) {
  const pid_t child = graphic_converters.running;
  if (child <= 0) return;
  kill(child, signal);
  for (int k = 0; k < converter_grace_polls; ++k) {
    if (waitpid(child, nullptr, WNOHANG) != 0) return;
    const timespec pause{0, 10'000'000};
    nanosleep(&pause, nullptr);
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

// A reader ended by a signal stops the converter program it runs, removes the
// files it was making (a picture's temporary file, a converter's output, the
// extents file, the stream file), then dies of the signal: the handler is
// reset as it runs, and the signal, blocked until it returns, comes again.
void remove_files_and_end(int signal) {
  stop_converter(signal);
  if (graphic_converters.EnvFilename[0] != '\0') unlink(graphic_converters.EnvFilename);
  for (const char *name : file_layer.PurgeableFileName)
    if (name != nullptr) unlink(name);
  raise(signal);
}

void remove_files_on_signals() {
  struct sigaction action{};
  action.sa_handler = remove_files_and_end;
  action.sa_flags = SA_RESETHAND;
  sigfillset(&action.sa_mask);
  for (std::size_t k = 0; k < ending_signals.size(); ++k) {
    sigaction(ending_signals[k], nullptr, &previous_actions[k]);
    if (previous_actions[k].sa_handler != SIG_IGN) sigaction(ending_signals[k], &action, nullptr);
  }
}

void restore_signals() {
  for (std::size_t k = 0; k < ending_signals.size(); ++k) sigaction(ending_signals[k], &previous_actions[k], nullptr);
}

}  // namespace

int convert_rtf_file(const char *rtf_name, const char *icf_name) {
  const int in_fd = open(rtf_name, O_RDONLY);
  if (in_fd == -1) return rtf_status_read_failed;
  RtfInput input;
  if (!rtf_input_open_fd(input, in_fd)) {
    close(in_fd);
    return rtf_status_read_failed;
  }
  KIVOSInitialize();
  remove_files_on_signals();
  // "stdout" is the standard output, as the file layer names it: the stream
  // then goes down a pipe to a writer that converts it as it comes. A stream
  // file is read once by the writer and removed: it is written as the library
  // writes its temporary files, without waiting for the disk at each block.
  // A pipe takes the stream by reference, a slot at a time; any other target
  // gets blocks of 256 KB.
  const bool to_stdout = std::strcmp(icf_name, "stdout") == 0;
  const int out = to_stdout ? STDOUT_FILENO : KIVopen(icf_name, open_create, kind_temporary);
  int status = rtf_status_target_failed;
  if (out != -1 && b_open(-1, out, 1 << 18) == 0) {
    const bool by_reference = to_stdout && begin_pipe_output(out);
    status = read_rtf(input);
    if (by_reference) end_pipe_output();
    b_close();
  }
  if (out != -1 && !to_stdout) KIVclose(out);
  if (status != rtf_status_ok && !to_stdout) KIVunlink(icf_name);
  restore_signals();  // before the records of the files are freed
  rtf_input_close(input);
  release_code_pages();
  close(in_fd);
  KIVFreeAll();
  return status;
}

}  // namespace kiv
