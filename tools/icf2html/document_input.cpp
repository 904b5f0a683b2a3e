// Running the reader program of a document format, as the suite starts its
// converter programs: the foreign file, "-t=" and the intermediate file,
// "-v" and the variant, "-n". For a single conversion the intermediate file is
// "stdout", the file layer's name for the standard output, which is the
// pipe's write end. The writer reads the pipe through a symbolic link in the
// folder where it makes its temporary files (beside its input), and removes
// the link when it has read the stream, as it removes a stream file. An
// isolated conversion gives the reader a file of its private folder instead.
#include "document_input.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <icf2html.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "child_deadline.h"
#include "format_names.h"

namespace icf2html {
namespace {

constexpr int recognised_stream = 3;    // the intermediate code stream itself
constexpr int status_not_this_format = 9;
constexpr int status_no_program = 255;
constexpr int status_time_limit = -1;

// Formats that icf2html takes as intermediate streams, as it always did: the
// stream, text that holds no codes, and what the recogniser cannot name.
bool is_stream_format(int format) { return format <= recognised_stream; }

std::string program_directory(const char *program) {
  const std::string path = program != nullptr ? program : "";
  const auto slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash + 1);
}

using ReaderArguments = std::array<char *, 6>;

// The reader's command line: the input, the stream target ("-t=..."), the
// variant ("-vN") and no progress display. The strings stay the caller's.
ReaderArguments reader_arguments(const std::string &reader, const char *input, const std::string &target,
                                 const std::string &variant_text) {
  return {const_cast<char *>(reader.c_str()), const_cast<char *>(input), const_cast<char *>(target.c_str()),
          const_cast<char *>(variant_text.c_str()), const_cast<char *>("-n"), nullptr};
}

// Whether the file is a program this process may run.
bool runnable(const std::string &path) {
  struct stat info{};
  return access(path.c_str(), X_OK) == 0 && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The program of that name along the search path, or "".
std::string along_path(const std::string &name) {
  const char *path = std::getenv("PATH");
  const std::string_view folders = path && *path ? path : "/bin:/usr/bin";
  for (std::size_t at = 0; at <= folders.size();) {
    const std::size_t colon = std::min(folders.find(':', at), folders.size());
    const std::string_view folder = folders.substr(at, colon - at);
    const std::string candidate = folder.empty() ? name : std::string(folder) + "/" + name;
    if (runnable(candidate)) return candidate;
    at = colon + 1;
  }
  return {};
}

// Starts the reader with its standard output on a new pipe; the pipe's read
// end, or -1. The pipe holds a megabyte (where the system allows it), so
// that a reader that writes large blocks runs ahead of the writer instead
// of waiting for it at every 64 KB (the RTF reader, which hands its stream
// over by reference, sizes the pipe itself); the child is spawned, not
// forked, so that starting it costs no copy of this process's page tables.
int start_reader(const std::string &reader, const char *input, int variant, pid_t &child) {
  constexpr int pipe_size = 1 << 20;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return -1;
  fcntl(ends[1], F_SETPIPE_SZ, pipe_size);
  const std::string variant_text = "-v" + std::to_string(variant);
  const std::string target = "-t=stdout";
  ReaderArguments arguments = reader_arguments(reader, input, target, variant_text);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
  const int failed = posix_spawn(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (failed == 0) return ends[0];
  close(ends[0]);
  child = -1;
  return -1;
}

// A template for mkstemp: a file of ours in dir.
std::vector<char> name_template(const std::string &dir) {
  std::vector<char> buffer(dir.begin(), dir.end());
  for (char c : std::string_view("icf2html-XXXXXX")) buffer.push_back(c);
  buffer.push_back('\0');
  return buffer;
}

// A new symbolic link in dir to the pipe's read end; false when none can be made.
bool link_to_pipe(const std::string &dir, int pipe_end, std::string &name) {
  const std::string target = "/proc/self/fd/" + std::to_string(pipe_end);
  for (int tries = 0; tries < 100; ++tries) {
    std::vector<char> buffer = name_template(dir);
    const int fd = mkstemp(buffer.data());  // a free name, made ours for a moment
    if (fd == -1) return false;
    close(fd);
    unlink(buffer.data());
    if (symlink(target.c_str(), buffer.data()) == 0) {
      name = buffer.data();
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

int make_stream_file(const std::string &dir, std::string &name) {
  std::vector<char> buffer = name_template(dir);
  const int fd = mkstemp(buffer.data());
  if (fd != -1) {
    name = buffer.data();
    close(fd);
  }
  return fd;
}

// Exit status of the reader, or status_no_program when neither name ran.
int wait_for_reader(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) == -1) {
    if (errno != EINTR) return status_no_program - 1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : status_no_program - 1;
}

// Runs the reader to its end under limits, writing into stream. Its exit
// status, status_no_program when neither name runs, or status_time_limit.
int run_limited_reader(const std::string &reader, const char *input, const std::string &stream, int variant,
                       const ReaderLimits &limits) {
  const std::string variant_text = "-v" + std::to_string(variant);
  const std::string target = "-t=" + stream;
  ReaderArguments arguments = reader_arguments(reader, input, target, variant_text);
  const bool limited = limits.seconds > 0 || limits.memory_mib > 0;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == -1) return status_no_program;
  if (child == 0) {
    if (limited) setpgid(0, 0);
    if (limits.memory_mib > 0) {
      const rlim_t bytes = static_cast<rlim_t>(limits.memory_mib) << 20;
      const rlimit limit{bytes, bytes};
      setrlimit(RLIMIT_AS, &limit);
    }
    if (!reader.empty()) execv(arguments[0], arguments.data());
    _exit(status_no_program);
  }
  if (limited) setpgid(child, child);  // whichever runs first: the group exists before it can be killed
  bool timed_out = false;
  const int status = wait_for_child(child, deadline_after(limits.seconds), timed_out);
  if (timed_out) return status_time_limit;
  return WIFEXITED(status) ? WEXITSTATUS(status) : status_no_program - 1;
}

void end_reading(DocumentInput &document) {
  if (document.pipe_end != -1) close(document.pipe_end);
  document.pipe_end = -1;
  if (document.reader > 0) wait_for_reader(document.reader);
  document.reader = -1;
}

// Recognises the input; true when it is a document that a reader must read
// (reader is then its reader program, "" when none is installed, and variant
// the recogniser's variant). Prints the line for a picture and sets failed.
bool needs_reader(const char *program, const char *input, DocumentInput &result, std::string &reader, int &variant,
                  bool &failed) {
  variant = 0;
  end_reading(result);
  result.stream.clear();
  result.timed_out = false;
  failed = false;
  result.format = autorec(input, &variant);
  if (result.format < 0 || is_stream_format(result.format)) return false;  // read as before
  if (is_graphic_format(result.format)) {
    const std::string_view kind = identify::library_format(result.format).description;
    std::fprintf(stderr, "icf2html: %s: a %.*s (format %d) is a picture, not a document\n", input,
                 static_cast<int>(kind.size()), kind.data(), result.format);
    failed = true;
    return false;
  }
  std::string second;
  reader_program_names(program, result.format, result.reader_name, second);
  reader = find_reader_program(program, result.format);
  return true;
}

// The one line for a reader that did not read the document; returns 1.
int report_reader_failure(const char *input, const DocumentInput &document, int status) {
  const std::string_view kind = identify::library_format(document.format).description;
  if (status == status_no_program)
    std::fprintf(stderr, "icf2html: %s: a %.*s (format %d) cannot be read: no reader program %s\n", input,
                 static_cast<int>(kind.size()), kind.data(), document.format, document.reader_name.c_str());
  else if (status == status_not_this_format)
    std::fprintf(stderr, "icf2html: %s: looks like a %.*s (format %d), but its reader cannot read it\n", input,
                 static_cast<int>(kind.size()), kind.data(), document.format);
  else
    std::fprintf(stderr, "icf2html: %s: the reader of a %.*s (format %d) failed (status %d)\n", input,
                 static_cast<int>(kind.size()), kind.data(), document.format, status);
  return 1;
}

int no_temporary_file(const std::string &dir) {
  std::fprintf(stderr, "icf2html: %s: no temporary file can be written\n", dir.empty() ? "." : dir.c_str());
  return 1;
}

}  // namespace

bool is_graphic_format(int format) { return format >= 500 && format <= 699; }

std::string converter_folder_word() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  const std::string self(path, static_cast<std::size_t>(n));
  const auto slash = self.rfind('/');
  return slash == std::string::npos ? std::string() : "E=" + self.substr(0, slash + 1);
}

void reader_program_names(const char *program, int format, std::string &first, std::string &second) {
  const std::string dir = program_directory(program);
  char name[32];
  std::snprintf(name, sizeof name, "w%03dfunx", format);
  first = dir + name;
  std::snprintf(name, sizeof name, "vtx%02df", format);
  second = dir + name;
}

std::string find_reader_program(const char *program, int format) {
  std::string first, second;
  reader_program_names(program, format, first, second);
  const std::string dir = program_directory(program);
  for (const std::string *name : {&first, &second})
    if (!dir.empty() && runnable(*name)) return *name;
  for (const std::string *name : {&first, &second})
    if (std::string found = along_path(name->substr(dir.size())); !found.empty()) return found;
  return {};
}

DocumentInput::~DocumentInput() { end_reading(*this); }

int read_document_input(const char *program, const char *input, const std::string &dir, DocumentInput &result) {
  std::string reader;
  int variant = 0;
  bool failed = false;
  if (!needs_reader(program, input, result, reader, variant, failed)) return failed ? 1 : 0;
  if (reader.empty()) return report_reader_failure(input, result, status_no_program);
  result.pipe_end = start_reader(reader, input, variant, result.reader);
  if (result.pipe_end == -1) {
    const std::string_view kind = identify::library_format(result.format).description;
    std::fprintf(stderr, "icf2html: %s: the reader of a %.*s (format %d) cannot be started\n", input,
                 static_cast<int>(kind.size()), kind.data(), result.format);
    return 1;
  }
  if (!link_to_pipe(dir, result.pipe_end, result.stream)) {
    end_reading(result);
    return no_temporary_file(dir);
  }
  return 0;
}

int finish_document_input(const char *input, DocumentInput &document) {
  if (document.reader <= 0) return 0;
  // The writer has read what it wanted: a reader still writing ends on the closed pipe.
  close(document.pipe_end);
  document.pipe_end = -1;
  const int status = wait_for_reader(document.reader);
  document.reader = -1;
  return status == 0 ? 0 : report_reader_failure(input, document, status);
}

int read_document_to_file(const char *program, const char *input, const std::string &dir, DocumentInput &result,
                          const ReaderLimits &limits) {
  std::string reader;
  int variant = 0;
  bool failed = false;
  if (!needs_reader(program, input, result, reader, variant, failed)) return failed ? 1 : 0;
  std::string stream;
  if (make_stream_file(dir, stream) == -1) return no_temporary_file(dir);
  const int status = run_limited_reader(reader, input, stream, variant, limits);
  if (status == 0) {
    result.stream = stream;
    return 0;
  }
  unlink(stream.c_str());
  result.timed_out = status == status_time_limit;
  return result.timed_out ? 1 : report_reader_failure(input, result, status);
}

}  // namespace icf2html
