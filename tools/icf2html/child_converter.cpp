// The forked converter: limits and standard streams once, then for every job
// its working folder and one conversion through the library's entry point.
#include "child_converter.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <icf2html.h>

#include "descriptor_io.h"
#include "pipe_server.h"

namespace icf2html {
namespace {

// A job message: its length as four bytes, then NUL-terminated texts (the
// folder, the target, the intermediate name, the levels, the words).
constexpr std::size_t length_bytes = sizeof(std::uint32_t);

// A job comes with one read as a rule: the controller writes it with one
// write, and the next one only after this one has ended.
bool next_job(int fd, ChildJob &job) {
  char first[4096];
  ssize_t got = 0;
  do got = read(fd, first, sizeof first);
  while (got < 0 && errno == EINTR);
  if (got <= 0) return false;
  const auto came = static_cast<std::size_t>(got);
  if (came < length_bytes && !read_all(fd, first + came, length_bytes - came)) return false;
  std::uint32_t length = 0;
  std::memcpy(&length, first, length_bytes);
  std::string text(first + length_bytes, std::min<std::size_t>(length, std::max(came, length_bytes) - length_bytes));
  const std::size_t have = text.size();
  text.resize(length);
  if (!read_all(fd, text.data() + have, length - have)) return false;
  std::vector<std::string> parts;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\0', at);
    if (end == std::string::npos) return false;
    parts.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  if (parts.size() < 4) return false;
  job = {parts[0], parts[1], parts[2], parts[3], {parts.begin() + 4, parts.end()}};
  return true;
}

void tell(const ChildSetup &setup, unsigned char byte) {
  // When this write fails the controller judges by the exit status alone.
  if (setup.status_records) {
    const auto record = converter_status_record(byte);
    [[maybe_unused]] const ssize_t told = write(setup.status_fd, record.data(), record.size());
  } else {
    [[maybe_unused]] const ssize_t told = write(setup.status_fd, &byte, 1);
  }
}

int convert(ChildJob &job) {
  std::vector<char *> option_words;
  for (std::string &word : job.words) option_words.push_back(word.data());
  option_words.push_back(nullptr);
  return MainEntryPoint(job.target_name.data(), job.intermediate_name.data(), job.levels.data(),
                        option_words.data(), nullptr, nullptr);
}

}  // namespace

std::string encode_job(const ChildJob &job) {
  std::string text;
  for (const std::string *part : {&job.private_dir, &job.target_name, &job.intermediate_name, &job.levels})
    text.append(*part).push_back('\0');
  for (const std::string &word : job.words) text.append(word).push_back('\0');
  const auto length = static_cast<std::uint32_t>(text.size());
  return std::string(reinterpret_cast<const char *>(&length), length_bytes) + text;
}

void run_child_converter(const ChildSetup &setup) {
  // A process group of its own, so that the converter programs it starts go
  // with it when the controller has to stop it.
  setpgid(0, 0);
  // Ignored, as in the controller: a write to a controller that went away
  // fails instead, and the library's pipe route need not switch the signal
  // off and on around every request.
  signal(SIGPIPE, SIG_IGN);
  for (const int fd : setup.controller_fds) close(fd);
  if (setup.memory_mib > 0) {
    const rlim_t bytes = static_cast<rlim_t>(setup.memory_mib) << 20;
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
  }
  const int null_fd = open("/dev/null", O_RDWR);
  const int out_fd = setup.trace_fd != -1 ? setup.trace_fd : null_fd;
  dup2(null_fd, STDIN_FILENO);
  dup2(out_fd, STDOUT_FILENO);
  dup2(out_fd, STDERR_FILENO);
  // Without a trace file the pipe trace the library prints is dropped before
  // it costs a write.
  if (setup.trace_fd == -1) {
    const cookie_io_functions_t discard{nullptr, [](void *, const char *, std::size_t size) {
                                          return static_cast<ssize_t>(size);
                                        }, nullptr, nullptr};
    if (std::FILE *nowhere = fopencookie(nullptr, "w", discard)) stdout = nowhere;
  }

  ChildJob job;
  while (next_job(setup.job_fd, job)) {
    if (!job.private_dir.empty() && chdir(job.private_dir.c_str()) != 0) _exit(child_setup_failed);
    const int code = convert(job);
    tell(setup, static_cast<unsigned char>(code));
    GlobalShutDown();
    RemoveTempFiles();
    RemovePurgeableFiles();
    KIVFreeAll();
    std::fflush(stdout);
    tell(setup, child_ready);
  }
  _exit(0);
}

}  // namespace icf2html
