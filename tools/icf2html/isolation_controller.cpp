// The controlling process of an isolated conversion.
#include "isolation_controller.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>

#include "child_converter.h"
#include "child_deadline.h"
#include "descriptor_io.h"
#include "document_input.h"
#include "file_service.h"
#include "input_copy.h"
#include "output_guard.h"
#include "pipe_server.h"
#include "queue_server.h"

namespace icf2html {

namespace {

constexpr char stdout_page[] = "page.html";
constexpr char intermediate_name[] = ".icf2html-input";
constexpr int no_memory_code = 8;
// The converter's 1 is also its warning flag: the page is then complete.
constexpr int warning_code = 1;

// The folder part of a path, "./" when it has none.
std::string folder_of(const std::string &path) {
  const std::string folder = directory_of(path);
  return folder.empty() ? std::string("./") : folder;
}

std::string base_name(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stem_of(const std::string &name) {
  const auto dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
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

// The real path of a folder, looked up once per folder name: a worker places
// many pages in the same folder.
std::string real_folder(const std::string &folder) {
  static std::string asked, found;
  if (folder != asked || found.empty()) {
    char *absolute = realpath(folder.c_str(), nullptr);
    asked = folder;
    found = absolute ? absolute : "";
    std::free(absolute);
  }
  return found;
}

}  // namespace

std::string private_folder_prefix(pid_t controller) { return ".icf2html-" + std::to_string(controller) + "-"; }

namespace {

// The controller's private folder beside OUTPUT (so that finished files move
// by renaming); it goes with everything in it.
class PrivateFolder {
 public:
  explicit PrivateFolder(const std::string &beside) {
    const std::string real = real_folder(beside);
    // The process's id in the name tells whose folder it is, so that the
    // folders of a dead batch worker can be removed without touching those of
    // the workers still converting beside it.
    std::string name = beside + private_folder_prefix(getpid()) + "XXXXXX";
    if (!real.empty() && mkdtemp(name.data())) path_ = real + "/" + name.substr(beside.size());
  }
  ~PrivateFolder() {
    if (path_.empty()) return;
    // What the controller made there itself goes first; the rest, if any, by a walk.
    for (auto made = made_.rbegin(); made != made_.rend(); ++made) (made->second ? rmdir : unlink)(made->first.c_str());
    std::error_code ignored;
    if (rmdir(path_.c_str()) != 0) std::filesystem::remove_all(path_, ignored);  // links inside are removed, not followed
  }
  PrivateFolder(const PrivateFolder &) = delete;
  PrivateFolder &operator=(const PrivateFolder &) = delete;
  const std::string &path() const { return path_; }
  // An entry the controller made in the folder, removed before the folder; in order of making.
  void made(std::string entry, bool folder) { made_.emplace_back(std::move(entry), folder); }

 private:
  std::string path_;
  std::vector<std::pair<std::string, bool>> made_;
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
    if (!write_all(to, chunk, static_cast<std::size_t>(n))) return false;
  }
}

bool copy_file_to_descriptor(const std::string &name, int to) {
  Descriptor from(open(name.c_str(), O_RDONLY | O_CLOEXEC));
  return from.fd != -1 && copy_descriptor(from.fd, to);
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

// The converter programs the child starts write the pictures under the page's
// folder as the user named it, from the private folder: a relative folder is
// made to lead back into the private folder (its last part a link to the
// folder itself), so the pictures land there and the page names them as a
// plain conversion does. An absolute folder, or one through "..", cannot be
// mapped; converter programs then write beside OUTPUT.
void mirror_target_folder(PrivateFolder &private_folder, const std::string &target_dir) {
  const std::string &private_dir = private_folder.path();
  if (target_dir.empty() || target_dir.front() == '/') return;
  std::vector<std::string> parts;
  for (std::size_t at = 0; at < target_dir.size();) {
    const std::size_t slash = target_dir.find('/', at);
    const std::string part = target_dir.substr(at, slash - at);
    if (part == "..") return;
    if (!part.empty() && part != ".") parts.push_back(part);
    at = slash == std::string::npos ? target_dir.size() : slash + 1;
  }
  if (parts.empty()) return;
  std::string path = private_dir, back = ".";
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    path += "/" + parts[i];
    if (mkdir(path.c_str(), 0700) == 0) private_folder.made(path, true);
    back = back == "." ? ".." : back + "/..";
  }
  if (symlink(back.c_str(), (path + "/" + parts.back()).c_str()) == 0) private_folder.made(path + "/" + parts.back(), false);
}

// Moves the finished page and the pictures beside it out of the private
// folder; a failure leaves OUTPUT and its folder as they were.
bool deliver(const std::string &folder, const FileService &files, const IsolatedConversion &job,
             IsolationResult &result) {
  const FilePolicy &policy = files.policy();
  const std::string page = folder + "/" + policy.page_name;
  if (job.output == "-") return copy_file_to_descriptor(page, STDOUT_FILENO);
  OutputGuard guard;
  if (!guard.protect(job.output, true)) return false;
  const std::string out_dir = folder_of(job.output);
  // Pictures are there only when the converter reached a file beside its page.
  for (const std::string &entry : files.reached_other_files() ? entries_of(folder) : std::vector<std::string>{}) {
    struct stat info{};
    if (lstat((folder + "/" + entry).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (entry == policy.page_name || folder + "/" + entry == policy.input_path) continue;
    if (!entry.starts_with(policy.picture_stem) && !is_picture_name(entry)) continue;
    if (rename((folder + "/" + entry).c_str(), (out_dir + entry).c_str()) != 0) {
      guard.restore();
      return false;
    }
    guard.placed(out_dir + entry);
    result.pictures.push_back(out_dir + entry);
  }
  if (rename(page.c_str(), job.output.c_str()) != 0) {
    guard.restore();
    return false;
  }
  guard.commit();
  return true;
}

}  // namespace

// A private folder with the page folder it was made for.
struct IsolatedConverter::KeptFolder {
  std::string beside, target_dir;
  PrivateFolder folder;
  KeptFolder(const std::string &beside_folder, const std::string &target)
      : beside(beside_folder), target_dir(target), folder(beside_folder) {
    if (!folder.path().empty()) mirror_target_folder(folder, target_dir);
  }
};

namespace {

// How the wait for one byte from the child ended.
enum class Heard { byte, ended, deadline };

}  // namespace

// The converter child and the controller's ends of its channels. What it was
// started with (limits, route, trace) is fixed for its life.
struct IsolatedConverter::Child {
  pid_t pid = -1;
  Descriptor pidfd;
  PipePair jobs, status, requests, replies;
  std::optional<PrivateQueue> queue;
  RemoteRoute route = RemoteRoute::pipes;
  int record_length = 0;
  long memory_mib = 0;
  std::string trace_file;
  Descriptor trace;
  std::string folder;  // the private folder the child works in
  int child_reply_fd = -1, child_request_fd = -1;  // the child's ends of the pipe route, by their numbers
  // A reply to a child that has just died must not end the controller.
  IgnoredSignal no_sigpipe{SIGPIPE};

  bool suits(const IsolatedConversion &job) const {
    return route == job.route && record_length == job.record_length && memory_mib == job.memory_mib &&
           trace_file == job.trace_file;
  }

  // The route's option words for the child's channels.
  std::vector<std::string> route_words() const {
    const auto word = [](const char *name, int value) { return std::string(name).append(std::to_string(value)); };
    if (queue) return {"IF", word("Q", queue->id)};
    return {word("INP=", child_reply_fd), word("OUTP=", child_request_fd), word("BP=", record_length)};
  }

  bool start(const IsolatedConversion &job) {
    route = job.route;
    record_length = job.record_length;
    memory_mib = job.memory_mib;
    trace_file = job.trace_file;
    if (!trace_file.empty()) {
      trace.fd = open(trace_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (trace.fd == -1) return false;
    }
    if (!jobs.make()) return false;
    ChildSetup setup;
    if (route == RemoteRoute::pipes) {
      if (!requests.make() || !replies.make()) return false;
      child_reply_fd = replies.read_end.fd;
      child_request_fd = requests.write_end.fd;
      // The status comes as records among the requests: one pipe to wait on.
      setup.status_fd = child_request_fd;
      setup.status_records = true;
    } else {
      if (!status.make()) return false;
      setup.status_fd = status.write_end.fd;
      queue.emplace();
      if (queue->id == -1) return false;
    }
    setup.memory_mib = memory_mib;
    setup.trace_fd = trace.fd;
    setup.job_fd = jobs.read_end.fd;
    // Without its copies of the controller's ends, the child sees the end of
    // its job channel when the controller goes away.
    for (const int fd : {jobs.write_end.fd, status.read_end.fd, requests.read_end.fd, replies.write_end.fd})
      if (fd != -1) setup.controller_fds.push_back(fd);
    std::fflush(nullptr);
    pid = fork();
    if (pid < 0) return false;
    if (pid == 0) run_child_converter(setup);
    setpgid(pid, pid);  // whichever runs first: the group exists before it can be killed
    pidfd.fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    jobs.read_end.reset();
    status.write_end.reset();
    requests.write_end.reset();
    replies.read_end.reset();
    return pidfd.fd != -1;
  }

  // Waits for the child's next status byte until the deadline. On the pipe
  // route it comes as a record among the requests, which are answered
  // meanwhile: the wait is a blocking read, which the deadline's alarm
  // interrupts and the child's end finishes (no one else holds the pipe's
  // write end). On the message queue, served on a thread of its own, the
  // status channel and the process are polled.
  Heard hear(unsigned char &byte, const Deadline &deadline, PipeServer *server) {
    if (server) {
      for (;;) {
        switch (server->serve_one()) {
          case Served::answered: break;
          case Served::status: byte = server->converter_status(); return Heard::byte;
          case Served::interrupted:
            if (passed(deadline)) return Heard::deadline;
            break;
          // A child that breaks the record layout is answered no more: it is ended.
          case Served::ended: return Heard::ended;
        }
      }
    }
    pollfd watched[2] = {{status.read_end.fd, POLLIN, 0}, {pidfd.fd, POLLIN, 0}};
    if (!poll_until(watched, 2, deadline)) return Heard::deadline;
    // A child that told its code and then ended: the code is still read.
    for (;;) {
      const ssize_t n = read(status.read_end.fd, &byte, 1);
      if (n == 1) return Heard::byte;
      if (n < 0 && errno == EINTR) continue;
      return Heard::ended;
    }
  }

  // Kills the child with its process group (the converter programs it
  // started) and collects it: its wait status.
  int end() {
    kill(-pid, SIGKILL);
    int wait_status = 0;
    while (waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
    }
    if (queue) remove_segments_of(pid);
    return wait_status;
  }
};

IsolatedConverter::IsolatedConverter() = default;

IsolatedConverter::~IsolatedConverter() {
  if (child_ && child_->pid > 0) child_->end();
}

pid_t IsolatedConverter::child_pid() const { return child_ ? child_->pid : -1; }

IsolationResult IsolatedConverter::convert(const IsolatedConversion &job) {
  IsolationResult result;
  const auto started = std::chrono::steady_clock::now();
  const bool to_stdout = job.output == "-";
  const std::string beside = to_stdout ? temporary_directory() : folder_of(job.output);
  const std::string target = to_stdout ? stdout_page : job.output;
  const std::string target_dir =
      to_stdout ? "" : job.output.substr(0, job.output.size() - base_name(job.output).size());
  // The folder the last conversion left empty serves the next one beside the same page folder.
  std::unique_ptr<KeptFolder> kept = std::move(kept_);
  if (kept && (kept->beside != beside || kept->target_dir != target_dir)) kept.reset();
  if (!kept) {
    kept = std::make_unique<KeptFolder>(beside, target_dir);
    if (child_) child_->folder.clear();
  }
  PrivateFolder &folder = kept->folder;
  if (folder.path().empty()) {
    result.cause = IsolationCause::setup_failed;
    return result;
  }
  FilePolicy policy;
  policy.private_dir = folder.path();
  policy.target_dir = target_dir;
  policy.page_name = base_name(target);
  policy.picture_stem = stem_of(policy.page_name);
  policy.intermediate_name = intermediate_name;
  policy.input_path = job.input;
  std::vector<std::string> document_words;
  Descriptor input;  // the user's input, opened here: the converter's first open of it gets this descriptor
  if (job.input == "-") {
    // Standard input is read once into the private folder, where the converter
    // can still not reach it under its own name.
    policy.input_path = folder.path() + "/" + intermediate_name;
    Descriptor copy(open(policy.input_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (copy.fd == -1 || !copy_descriptor(STDIN_FILENO, copy.fd)) {
      result.cause = IsolationCause::input_unreadable;
      return result;
    }
  } else if (input.fd = open(job.input.c_str(), O_RDONLY | O_CLOEXEC); input.fd == -1) {
    result.cause = IsolationCause::input_unreadable;
    return result;
  } else if (!job.known_stream) {
    // A document is read by its reader, a process of its own under the same
    // limits, into the private folder; the converter gets that stream.
    DocumentInput document;
    const ReaderLimits limits{job.timeout_seconds, job.memory_mib};
    if (read_document_to_file(job.program.c_str(), job.input.c_str(), folder.path() + "/", document, limits) != 0) {
      result.cause = document.timed_out ? IsolationCause::time_limit : IsolationCause::document_unreadable;
      return result;
    }
    if (!document.stream.empty()) {
      policy.input_path = document.stream;
      input.reset();  // the converter reads the reader's stream instead
      document_words.insert(document_words.end(), {"UNICODE", "HEADERROWS"});
    }
  }

  // The limit counts the reader's time and the conversion's, not the start of a child.
  const double reader_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (child_ && !child_->suits(job)) {
    child_->end();
    child_.reset();
  }
  if (!child_) {
    child_ = std::make_unique<Child>();
    if (!child_->start(job)) {
      if (child_->pid > 0) child_->end();
      child_.reset();
      result.cause = IsolationCause::setup_failed;
      return result;
    }
  }
  Child &child = *child_;
  const Deadline deadline =
      job.timeout_seconds > 0 ? deadline_after(std::max(job.timeout_seconds - reader_seconds, 1e-3)) : std::nullopt;

  // A child already in the folder stays there.
  ChildJob work{child.folder == folder.path() ? std::string() : folder.path(), target, intermediate_name,
                job.levels, {}};
  child.folder = folder.path();
  // The graphic converter programs beside icf2html, as in a plain conversion.
  static const std::string converter_folder = converter_folder_word();
  if (!converter_folder.empty()) work.words.push_back(converter_folder);
  work.words.emplace_back("N");  // no progress bar: nothing but the one line is printed
  // The same output as a plain conversion: untrusted unless the user says otherwise.
  if (!job.trusted) work.words.emplace_back("UNTRUSTED");
  // Standard output carries the child's trace, so the page is written to a
  // file; a document without a title of its own keeps the one it has when
  // written to standard output.
  if (to_stdout) work.words.emplace_back("CMD=DEFAULTTITLE=stdout");
  const std::vector<std::string> route = child.route_words();
  work.words.insert(work.words.end(), route.begin(), route.end());
  // The user's words come after the route's, so that a configuration file
  // they name is asked for through the route too.
  work.words.insert(work.words.end(), job.words.begin(), job.words.end());
  work.words.insert(work.words.end(), document_words.begin(), document_words.end());

  FileService files(policy);
  if (input.fd != -1) files.hand_input(std::exchange(input.fd, -1));
  // The pipe route is served on this thread between the child's status
  // bytes; the message queue, which cannot be polled, on a thread of its own.
  std::optional<PipeServer> pipe_server;
  std::thread queue_server;
  if (child.queue) {
    queue_server = std::thread([&] { QueueServer(files, child.queue->id).serve_all(); });
  } else {
    pipe_server.emplace(files, child.requests.read_end.fd, child.replies.write_end.fd, child.record_length);
  }
  PipeServer *serving = pipe_server ? &*pipe_server : nullptr;
  std::optional<DeadlineAlarm> alarm;
  if (serving) alarm.emplace(deadline);
  // A job the child cannot take shows as its end below.
  const std::string message = encode_job(work);
  write_all(child.jobs.write_end.fd, message.data(), message.size());
  unsigned char reported = 0;
  const Heard code = child.hear(reported, deadline, serving);
  const bool went_well = code == Heard::byte && (reported == 0 || reported == warning_code);
  int wait_status = 0;
  if (!went_well) wait_status = child.end();
  // The child is kept only when it is ready for the next job after a
  // conversion that went well.
  bool settled = false;
  const auto settle = [&] {
    if (std::exchange(settled, true)) return;
    unsigned char ready = 0;
    const bool reusable = went_well && child.hear(ready, deadline, serving) == Heard::byte && ready == child_ready;
    if (went_well && !reusable) child.end();
    if (queue_server.joinable()) {
      QueueServer::request_stop(child.queue->id);
      queue_server.join();
    }
    if (!reusable) child_.reset();
  };
  // On the pipe route the page is delivered while the child makes its
  // shutdown calls: any requests among them wait in the pipe until the ready
  // byte is awaited, which has then mostly come already. The message queue's
  // server runs on a thread of its own and is done before the file service is
  // used here.
  if (!went_well || child.queue) settle();

  if (code == Heard::deadline) {
    result.cause = IsolationCause::time_limit;
  } else if (!files.refused().empty()) {
    result.cause = IsolationCause::refused_file;
    result.refused_name = files.refused().front();
  } else if (code == Heard::byte) {
    // The code the conversion reported before its shutdown calls: a child
    // that dies after it finished loses nothing.
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
  if (result.cause == IsolationCause::none && result.code == warning_code) {
    struct stat info{};
    const std::string page = folder.path() + "/" + policy.page_name;
    result.warning = lstat(page.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }
  if (result.cause == IsolationCause::none && result.code != 0 && !result.warning) {
    result.cause = result.code == no_memory_code && job.memory_mib > 0 ? IsolationCause::memory_limit
                                                                        : IsolationCause::conversion_failed;
  }
  if (result.cause == IsolationCause::none && !deliver(folder.path(), files, job, result)) {
    result.pictures.clear();
    result.cause = IsolationCause::setup_failed;
  }
  settle();
  // The folder is empty again when the page left it and the converter read
  // the user's file and reached no other: it is kept for the next conversion.
  if (result.cause == IsolationCause::none && !to_stdout && policy.input_path == job.input &&
      !files.reached_other_files())
    kept_ = std::move(kept);
  return result;
}

IsolationResult run_isolated_conversion(const IsolatedConversion &job) {
  IsolatedConverter converter;
  return converter.convert(job);
}

}  // namespace icf2html
