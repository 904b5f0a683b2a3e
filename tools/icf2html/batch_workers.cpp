#include "batch_workers.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <deque>
#include <fstream>
#include <string>

#include "descriptor_io.h"
#include "processor_binding.h"

namespace icf2html {
namespace {

using Clock = std::chrono::steady_clock;

// The controlling process checks for Ctrl-C at least this often.
constexpr int poll_interval_ms = 100;
// While every worker has a job waiting behind the one it converts, the
// controlling process naps this long between rounds instead of being woken
// by each answer: the answers of small documents are gathered several at a
// time, and a worker's answer wakes no one.
constexpr auto round_nap = std::chrono::milliseconds(1);
// Jobs handed to a worker ahead of its answers: at least two, so that it takes
// the next one as soon as it has answered; for small documents enough to last
// the nap; never so many that one worker keeps a long tail to itself.
constexpr std::size_t min_jobs_ahead = 2;
constexpr std::size_t max_jobs_ahead = 16;

std::size_t jobs_ahead(double typical_seconds) {
  const double to_cover = std::chrono::duration<double>(round_nap).count() / std::max(typical_seconds, 1e-6);
  return std::clamp(static_cast<std::size_t>(to_cover) + min_jobs_ahead, min_jobs_ahead, max_jobs_ahead);
}

struct Job {
  std::size_t number = 0;
  std::string message;
};

struct Worker {
  pid_t pid = -1;
  int to = -1;    // job messages to the worker: the length as four bytes, then the message
  int from = -1;  // answers from the worker
  std::deque<Job> jobs;     // handed to it, not answered yet, oldest first
  Clock::time_point since;  // when it began its oldest job, about
};

[[noreturn]] void serve(int from_parent, int to_parent, JobFunction convert, WorkerEnd end,
                        const std::vector<int> &processors) {
  // Its converter, forked later, runs on the same processor.
  if (!processors.empty()) bind_to_free_processor(processors);
  // The terminal's Ctrl-C goes to the controlling process, which ends the workers.
  setpgid(0, 0);
  signal(SIGINT, SIG_DFL);
  signal(SIGPIPE, SIG_DFL);
  const int null = open("/dev/null", O_RDWR);
  dup2(null, STDOUT_FILENO);
  dup2(null, STDERR_FILENO);  // the report row says what went wrong
  std::uint32_t length = 0;
  std::string message;
  while (read_all(from_parent, &length, sizeof length)) {
    message.resize(length);
    if (!read_all(from_parent, message.data(), length)) break;
    const Clock::time_point started = Clock::now();
    WorkerAnswer answer = convert(message);
    answer.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (!write_all(to_parent, &answer, sizeof answer)) break;
  }
  end();
  _exit(0);
}

void close_worker(Worker &worker) {
  if (worker.to != -1) close(worker.to);
  if (worker.from != -1) close(worker.from);
  worker = {};
}

// The converter processes the worker started: each leads a process group of
// its own, so that the programs it starts go with it.
void kill_conversions_of(pid_t worker) {
  std::ifstream children("/proc/" + std::to_string(worker) + "/task/" + std::to_string(worker) + "/children");
  for (pid_t child = 0; children >> child;) kill(-child, SIGKILL);
}

// Ends the worker's process by its id and collects it; its pipes stay open.
void end_worker_process(const Worker &worker, bool kill_it) {
  if (kill_it) {
    kill(worker.pid, SIGSTOP);  // no new conversion starts while its children are found
    kill_conversions_of(worker.pid);
    kill(worker.pid, SIGKILL);
  }
  int status = 0;
  while (waitpid(worker.pid, &status, 0) == -1 && errno == EINTR) {
  }
}

void stop_worker(Worker &worker, bool kill_it) {
  end_worker_process(worker, kill_it);
  close_worker(worker);
}

bool start_worker(std::vector<Worker> &pool, Worker &worker, JobFunction convert, WorkerEnd end,
                  const std::vector<int> &processors) {
  int jobs[2], codes[2];
  if (pipe2(jobs, O_CLOEXEC) != 0) return false;
  if (pipe2(codes, O_CLOEXEC) != 0) {
    close(jobs[0]);
    close(jobs[1]);
    return false;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    // Only this worker's own ends stay open, so a worker's end is seen as EOF.
    for (Worker &other : pool) {
      if (other.to != -1) close(other.to);
      if (other.from != -1) close(other.from);
    }
    close(jobs[1]);
    close(codes[0]);
    serve(jobs[0], codes[1], convert, end, processors);
  }
  close(jobs[0]);
  close(codes[1]);
  if (pid < 0) {
    close(jobs[1]);
    close(codes[0]);
    return false;
  }
  worker.pid = pid;
  worker.to = jobs[1];
  worker.from = codes[0];
  return true;
}

}  // namespace

bool run_jobs(JobSource next, std::size_t most_jobs, int workers, JobFunction convert, WorkerEnd end,
              OutcomeFunction report, void *context, const volatile std::sig_atomic_t &interrupted,
              std::vector<std::size_t> &abandoned) {
  signal(SIGPIPE, SIG_IGN);  // a worker that died must not take the controller with it
  std::vector<Worker> pool(std::clamp<std::size_t>(most_jobs, 1, static_cast<std::size_t>(std::max(workers, 1))));
  std::deque<Job> waiting;  // taken from the source, or handed back by a worker that died
  bool source_ended = false;
  const auto next_job = [&] {
    if (!waiting.empty()) return true;
    if (source_ended) return false;
    Job job;
    if (!next(job.number, job.message, context)) {
      source_ended = true;
      return false;
    }
    waiting.push_back(std::move(job));
    return true;
  };
  // Workers are bound to processors of their own only when each can have one.
  const std::vector<Processor> allowed = allowed_processors();
  const std::vector<int> processors = pool.size() <= allowed.size() ? binding_order(allowed) : std::vector<int>{};
  const auto running = [&pool] {
    return std::ranges::any_of(pool, [](const Worker &worker) { return !worker.jobs.empty(); });
  };
  // The wall clock of the documents answered so far, smoothed; until the
  // first answer, that of a document worth no gathering.
  double typical_seconds = 1;
  while (next_job() || running()) {
    if (interrupted) break;
    const std::size_t ahead = jobs_ahead(typical_seconds);
    for (Worker &worker : pool) {
      while (worker.jobs.size() < ahead && next_job()) {
        if (worker.pid == -1 && !start_worker(pool, worker, convert, end, processors)) break;
        const auto length = static_cast<std::uint32_t>(waiting.front().message.size());
        const std::string framed = std::string(reinterpret_cast<const char *>(&length), sizeof length) +
                                   waiting.front().message;
        if (!write_all(worker.to, framed.data(), framed.size())) {
          // Its jobs go to the others, or to a worker started in its place.
          waiting.insert(waiting.begin(), worker.jobs.begin(), worker.jobs.end());
          stop_worker(worker, true);
          break;
        }
        if (worker.jobs.empty()) worker.since = Clock::now();
        worker.jobs.push_back(std::move(waiting.front()));
        waiting.pop_front();
      }
    }
    if (!running()) {
      if (!waiting.empty()) return false;  // no worker can be started at all
      break;
    }

    const bool all_fed = std::ranges::all_of(pool, [](const Worker &worker) { return worker.jobs.size() != 1; });
    if (all_fed && typical_seconds < std::chrono::duration<double>(round_nap).count()) {
      const timespec nap{0, std::chrono::nanoseconds(round_nap).count()};
      nanosleep(&nap, nullptr);
    }
    std::vector<pollfd> ready;
    for (Worker &worker : pool)
      if (!worker.jobs.empty()) ready.push_back({worker.from, POLLIN, 0});
    if (poll(ready.data(), ready.size(), poll_interval_ms) < 0 && errno != EINTR) return false;

    for (Worker &worker : pool) {
      if (worker.jobs.empty()) continue;
      const auto heard = std::ranges::find(ready, worker.from, &pollfd::fd);
      if (heard == ready.end() || heard->revents == 0) continue;
      // Every whole answer that came, in one read; at least one, which is
      // waited for (a worker that ends shows here).
      int pending = 0;
      ioctl(worker.from, FIONREAD, &pending);
      const std::size_t whole = static_cast<std::size_t>(std::max(pending, 0)) / sizeof(WorkerAnswer);
      const std::size_t count = std::clamp<std::size_t>(whole, 1, worker.jobs.size());
      std::vector<WorkerAnswer> answers(count);
      const bool answered = read_all(worker.from, answers.data(), count * sizeof(WorkerAnswer));
      if (!answered) answers.assign(1, {});
      for (const WorkerAnswer &answer : answers) {
        JobOutcome outcome{worker.jobs.front().number, answer, false, worker.pid};
        worker.jobs.pop_front();
        if (!answered) {
          // The document it was converting is reported; the ones it had not begun go to the others.
          outcome.worker_died = true;
          outcome.answer.seconds = std::chrono::duration<double>(Clock::now() - worker.since).count();
          waiting.insert(waiting.begin(), worker.jobs.begin(), worker.jobs.end());
          stop_worker(worker, false);
        } else {
          typical_seconds += (answer.seconds - typical_seconds) / 8;
        }
        worker.since = Clock::now();
        report(outcome, context);
      }
    }
  }
  for (Worker &worker : pool) {
    if (worker.pid == -1) continue;
    // An idle worker ends by itself when its job pipe closes; a busy one is killed.
    const bool busy = !worker.jobs.empty() || interrupted;
    close(worker.to);
    worker.to = -1;
    end_worker_process(worker, busy);
    // Answers it wrote before it ended still count: their pages are whole.
    // The pipe has no writer left, so reading ends where the answers do.
    for (WorkerAnswer answer; !worker.jobs.empty() && read_all(worker.from, &answer, sizeof answer);) {
      report(JobOutcome{worker.jobs.front().number, answer, false, worker.pid}, context);
      worker.jobs.pop_front();
    }
    for (const Job &job : worker.jobs) abandoned.push_back(job.number);
    close_worker(worker);
  }
  return !interrupted;
}

}  // namespace icf2html
