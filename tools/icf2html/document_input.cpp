// Running the reader program of a document format, as the suite starts its
// converter programs: the foreign file, "-t=" and the intermediate file,
// "-v" and the variant, "-n".
#include "document_input.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <icf2html.h>

#include <cstdio>
#include <cstdlib>
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

int make_stream_file(const std::string &dir, std::string &name) {
  std::vector<char> buffer(dir.begin(), dir.end());
  for (char c : std::string("icf2html-XXXXXX")) buffer.push_back(c);
  buffer.push_back('\0');
  const int fd = mkstemp(buffer.data());
  if (fd != -1) {
    name = buffer.data();
    close(fd);
  }
  return fd;
}

// Exit status of the reader, status_no_program when neither name runs, or
// status_time_limit.
int run_reader(const std::string &first, const std::string &second, const char *input, const std::string &stream,
               int variant, const ReaderLimits &limits) {
  const std::string target = "-t=" + stream;
  const std::string variant_text = "-v" + std::to_string(variant);
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
    for (const std::string *name : {&first, &second}) {
      char *arguments[] = {const_cast<char *>(name->c_str()), const_cast<char *>(input),
                           const_cast<char *>(target.c_str()), const_cast<char *>(variant_text.c_str()),
                           const_cast<char *>("-n"), nullptr};
      execvp(arguments[0], arguments);
    }
    _exit(status_no_program);
  }
  if (limited) setpgid(child, child);  // whichever runs first: the group exists before it can be killed
  bool timed_out = false;
  const int status = wait_for_child(child, deadline_after(limits.seconds), timed_out);
  if (timed_out) return status_time_limit;
  return WIFEXITED(status) ? WEXITSTATUS(status) : status_no_program - 1;
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

int read_document_input(const char *program, const char *input, const std::string &dir, DocumentInput &result,
                        const ReaderLimits &limits) {
  int variant = 0;
  result = {};
  result.format = autorec(input, &variant);
  if (result.format < 0 || is_stream_format(result.format)) return 0;  // read as before
  const std::string_view kind = identify::library_format(result.format).description;
  if (is_graphic_format(result.format)) {
    std::fprintf(stderr, "icf2html: %s: a %.*s (format %d) is a picture, not a document\n", input,
                 static_cast<int>(kind.size()), kind.data(), result.format);
    return 1;
  }
  std::string stream;
  if (make_stream_file(dir, stream) == -1) {
    std::fprintf(stderr, "icf2html: %s: no temporary file can be written\n", dir.empty() ? "." : dir.c_str());
    return 1;
  }
  std::string first, second;
  reader_program_names(program, result.format, first, second);
  const int status = run_reader(first, second, input, stream, variant, limits);
  if (status == 0) {
    result.stream = stream;
    return 0;
  }
  unlink(stream.c_str());
  result.timed_out = status == status_time_limit;
  if (result.timed_out) return 1;
  if (status == status_no_program)
    std::fprintf(stderr, "icf2html: %s: a %.*s (format %d) cannot be read: no reader program %s\n", input,
                 static_cast<int>(kind.size()), kind.data(), result.format, first.c_str());
  else if (status == status_not_this_format)
    std::fprintf(stderr, "icf2html: %s: looks like a %.*s (format %d), but its reader cannot read it\n", input,
                 static_cast<int>(kind.size()), kind.data(), result.format);
  else
    std::fprintf(stderr, "icf2html: %s: the reader of a %.*s (format %d) failed (status %d)\n", input,
                 static_cast<int>(kind.size()), kind.data(), result.format, status);
  return 1;
}

}  // namespace icf2html
