// The controlling process of an isolated conversion.
#include "isolation_controller.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>

#include "child_converter.h"
#include "file_service.h"
#include "pipe_server.h"
#include "queue_server.h"

namespace icf2html {

namespace {

constexpr char stdout_page[] = "page.html";
constexpr char intermediate_name[] = ".icf2html-input";
constexpr int no_memory_code = 8;

std::string directory_of(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string base_name(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stem_of(const std::string &name) {
  const auto dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string temporary_directory() {
  const char *tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/";
}

// Names of the plain entries of a folder.
std::vector<std::string> entries_of(const std::string &dir) {
  std::vector<std::string> names;
  if (DIR *d = opendir(dir.c_str())) {
    while (const dirent *e = readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
    closedir(d);
  }
  return names;
}

// The controller's private folder beside OUTPUT (so that finished files move
// by renaming); it goes with everything in it.
class PrivateFolder {
 public:
  explicit PrivateFolder(const std::string &beside) {
    std::string name = beside + ".icf2html-XXXXXX";
    if (mkdtemp(name.data())) {
      char *absolute = realpath(name.c_str(), nullptr);
      path_ = absolute ? absolute : "";
      std::free(absolute);
      if (path_.empty()) rmdir(name.c_str());
    }
  }
  ~PrivateFolder() {
    if (path_.empty()) return;
    for (const std::string &entry : entries_of(path_)) unlink((path_ + "/" + entry).c_str());
    rmdir(path_.c_str());
  }
  PrivateFolder(const PrivateFolder &) = delete;
  PrivateFolder &operator=(const PrivateFolder &) = delete;
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

// A descriptor closed when it goes out of scope.
struct Descriptor {
  int fd = -1;
  Descriptor() = default;
  explicit Descriptor(int f) : fd(f) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor &) = delete;
  Descriptor &operator=(const Descriptor &) = delete;
  void reset() {
    if (fd != -1) close(fd);
    fd = -1;
  }
};

struct PipePair {
  Descriptor read_end, write_end;
  bool make() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    read_end.fd = ends[0];
    write_end.fd = ends[1];
    return true;
  }
};

// A private message queue, removed on every path.
struct PrivateQueue {
  int id = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
  PrivateQueue() = default;
  PrivateQueue(const PrivateQueue &) = delete;
  PrivateQueue &operator=(const PrivateQueue &) = delete;
  ~PrivateQueue() {
    if (id != -1) msgctl(id, IPC_RMID, nullptr);
  }
};

// Ignores a signal while in scope; the previous disposition comes back after.
class IgnoredSignal {
 public:
  explicit IgnoredSignal(int signal) : signal_(signal) {
    struct sigaction ignore{};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(signal_, &ignore, &saved_);
  }
  ~IgnoredSignal() { sigaction(signal_, &saved_, nullptr); }
  IgnoredSignal(const IgnoredSignal &) = delete;
  IgnoredSignal &operator=(const IgnoredSignal &) = delete;

 private:
  int signal_;
  struct sigaction saved_{};
};

bool copy_descriptor(int from, int to) {
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(from, chunk, sizeof chunk);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(to, chunk + done, static_cast<std::size_t>(n - done));
      if (w <= 0) return false;
      done += w;
    }
  }
}

bool copy_file_to_descriptor(const std::string &name, int to) {
  Descriptor from(open(name.c_str(), O_RDONLY | O_CLOEXEC));
  return from.fd != -1 && copy_descriptor(from.fd, to);
}

// Waits for the child until the deadline; kills its process group when the
// deadline passes. The wait status, and whether the limit was hit.
int wait_for_child(pid_t child, double timeout_seconds, bool &timed_out) {
  timed_out = false;
  Descriptor pidfd(static_cast<int>(syscall(SYS_pidfd_open, child, 0)));
  if (pidfd.fd != -1 && timeout_seconds > 0) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(timeout_seconds));
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (std::chrono::steady_clock::now() >= deadline) {
        timed_out = true;
        break;
      }
      pollfd watched{pidfd.fd, POLLIN, 0};
      const int ready = poll(&watched, 1, static_cast<int>(std::min<long long>(left.count() + 1, INT_MAX)));
      if (ready > 0) break;
      if (ready < 0 && errno != EINTR) break;
    }
  }
  if (timed_out) kill(-child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // Converter programs it started do not outlive it.
  kill(-child, SIGKILL);
  return status;
}

// Removes the shared-memory segments a child made and could not remove
// itself because it was stopped during a transfer.
void remove_segments_of(pid_t child) {
  shm_info info{};
  const int highest = shmctl(0, SHM_INFO, reinterpret_cast<shmid_ds *>(&info));
  for (int index = 0; index <= highest; ++index) {
    shmid_ds segment{};
    const int id = shmctl(index, SHM_STAT, &segment);
    if (id != -1 && segment.shm_cpid == child) shmctl(id, IPC_RMID, nullptr);
  }
}

// Moves the finished page and the pictures beside it out of the private folder.
bool deliver(const std::string &folder, const FilePolicy &policy, const IsolatedConversion &job,
             IsolationResult &result) {
  const std::string out_dir = directory_of(job.output);
  for (const std::string &entry : entries_of(folder)) {
    if (entry == policy.page_name || !entry.starts_with(policy.picture_stem) || job.output == "-") continue;
    if (rename((folder + "/" + entry).c_str(), (out_dir + entry).c_str()) != 0) return false;
    result.pictures.push_back(out_dir + entry);
  }
  const std::string page = folder + "/" + policy.page_name;
  if (job.output == "-") return copy_file_to_descriptor(page, STDOUT_FILENO);
  return rename(page.c_str(), job.output.c_str()) == 0;
}

}  // namespace

IsolationResult run_isolated_conversion(const IsolatedConversion &job) {
  IsolationResult result;
  const bool to_stdout = job.output == "-";
  PrivateFolder folder(to_stdout ? temporary_directory() : directory_of(job.output));
  if (folder.path().empty()) {
    result.cause = IsolationCause::setup_failed;
    return result;
  }
  FilePolicy policy;
  policy.private_dir = folder.path();
  const std::string target = to_stdout ? stdout_page : job.output;
  policy.target_dir = to_stdout ? "" : job.output.substr(0, job.output.size() - base_name(job.output).size());
  policy.page_name = base_name(target);
  policy.picture_stem = stem_of(policy.page_name);
  policy.intermediate_name = intermediate_name;
  policy.input_path = job.input;
  if (job.input == "-") {
    // Standard input is read once into the private folder, where the converter
    // can still not reach it under its own name.
    policy.input_path = folder.path() + "/" + intermediate_name;
    Descriptor copy(open(policy.input_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (copy.fd == -1 || !copy_descriptor(STDIN_FILENO, copy.fd)) {
      result.cause = IsolationCause::input_unreadable;
      return result;
    }
  } else if (Descriptor probe(open(job.input.c_str(), O_RDONLY | O_CLOEXEC)); probe.fd == -1) {
    result.cause = IsolationCause::input_unreadable;
    return result;
  }

  ChildSetup setup;
  setup.private_dir = folder.path();
  setup.target_name = target;
  setup.intermediate_name = intermediate_name;
  setup.levels = job.levels;
  setup.words.emplace_back("N");  // no progress bar: nothing but the one line is printed
  // The same output as a plain conversion: untrusted unless the user says otherwise.
  if (!job.trusted) setup.words.emplace_back("UNTRUSTED");
  // Standard output carries the child's trace, so the page is written to a
  // file; it keeps the title it has when written to standard output.
  if (to_stdout) setup.words.emplace_back("CMD=TITLE=stdout");
  setup.memory_mib = job.memory_mib;
  Descriptor trace;
  if (!job.trace_file.empty()) {
    trace.fd = open(job.trace_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (trace.fd == -1) {
      result.cause = IsolationCause::setup_failed;
      return result;
    }
  }
  setup.trace_fd = trace.fd;

  PipePair requests, replies, stop, status;
  std::optional<PrivateQueue> queue;
  if (job.route == RemoteRoute::pipes) {
    if (!requests.make() || !replies.make() || !stop.make()) {
      result.cause = IsolationCause::setup_failed;
      return result;
    }
    setup.words.push_back("INP=" + std::to_string(replies.read_end.fd));
    setup.words.push_back("OUTP=" + std::to_string(requests.write_end.fd));
    setup.words.push_back("BP=" + std::to_string(job.record_length));
  } else {
    queue.emplace();
    if (queue->id == -1) {
      result.cause = IsolationCause::setup_failed;
      return result;
    }
    setup.words.emplace_back("IF");
    setup.words.push_back("Q" + std::to_string(queue->id));
  }
  // The user's words come after the route's, so that a configuration file
  // they name is asked for through the route too.
  setup.words.insert(setup.words.end(), job.words.begin(), job.words.end());
  if (!status.make()) {
    result.cause = IsolationCause::setup_failed;
    return result;
  }

  FileService files(policy);
  // A reply to a child that has just died must not end the controller.
  const IgnoredSignal no_sigpipe(SIGPIPE);
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    result.cause = IsolationCause::setup_failed;
    return result;
  }
  if (child == 0) {
    setup.status_fd = status.write_end.fd;
    run_child_converter(setup);
  }
  requests.write_end.reset();
  replies.read_end.reset();
  status.write_end.reset();

  std::thread server([&] {
    if (queue) {
      QueueServer(files, queue->id).serve_all();
    } else {
      PipeServer(files, requests.read_end.fd, replies.write_end.fd, job.record_length, stop.read_end.fd).serve_all();
    }
  });
  bool timed_out = false;
  const int wait_status = wait_for_child(child, job.timeout_seconds, timed_out);
  if (queue) {
    QueueServer::request_stop(queue->id);
    remove_segments_of(child);
  }
  else stop.write_end.reset();  // the server sees the end of the stop pipe
  server.join();

  // The code the conversion reported before its shutdown calls: a child that
  // dies after it finished loses nothing.
  unsigned char reported = 0;
  const bool finished = read(status.read_end.fd, &reported, 1) == 1;
  if (timed_out) {
    result.cause = IsolationCause::time_limit;
  } else if (!files.refused().empty()) {
    result.cause = IsolationCause::refused_file;
    result.refused_name = files.refused().front();
  } else if (finished) {
    result.code = reported;
  } else if (WIFSIGNALED(wait_status)) {
    result.cause = IsolationCause::crashed;
    result.signal = WTERMSIG(wait_status);
  } else if (WIFEXITED(wait_status) && WEXITSTATUS(wait_status) == child_setup_failed) {
    result.cause = IsolationCause::setup_failed;
  } else {
    // The library's signal handler ends the process with the signal's number,
    // or with 16 for a memory, bus or arithmetic fault.
    result.cause = IsolationCause::crashed;
    result.signal = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 0;
  }
  if (result.cause == IsolationCause::none && result.code != 0) {
    result.cause = result.code == no_memory_code && job.memory_mib > 0 ? IsolationCause::memory_limit
                                                                        : IsolationCause::conversion_failed;
  }
  if (result.cause == IsolationCause::none && !deliver(folder.path(), policy, job, result)) {
    for (const std::string &picture : result.pictures) unlink(picture.c_str());
    result.pictures.clear();
    result.cause = IsolationCause::setup_failed;
  }
  return result;
}

}  // namespace icf2html
