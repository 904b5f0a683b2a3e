#include "child_deadline.h"

#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>

namespace icf2html {

Deadline deadline_after(double seconds) {
  if (seconds <= 0) return std::nullopt;
  // A limit of years is no limit; it must still fit the clock's count and the alarm's timer.
  constexpr double longest = 1e8;
  return std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                std::chrono::duration<double>(std::min(seconds, longest)));
}

namespace {

constexpr long repeat_microseconds = 5000;

void interrupt_only(int) {}

timeval as_timeval(std::chrono::steady_clock::duration span) {
  const auto micro = std::max<long long>(std::chrono::duration_cast<std::chrono::microseconds>(span).count(), 1);
  return {static_cast<time_t>(micro / 1'000'000), static_cast<suseconds_t>(micro % 1'000'000)};
}

}  // namespace

DeadlineAlarm::DeadlineAlarm(const Deadline &deadline) {
  if (!deadline) return;
  static const bool handled = [] {
    struct sigaction action{};
    action.sa_handler = interrupt_only;  // no SA_RESTART: the blocking call returns EINTR
    sigemptyset(&action.sa_mask);
    return sigaction(SIGALRM, &action, nullptr) == 0;
  }();
  const itimerval timer{{0, repeat_microseconds}, as_timeval(*deadline - std::chrono::steady_clock::now())};
  armed_ = handled && setitimer(ITIMER_REAL, &timer, nullptr) == 0;
}

DeadlineAlarm::~DeadlineAlarm() {
  if (!armed_) return;
  const itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
}

bool passed(const Deadline &deadline) { return deadline && std::chrono::steady_clock::now() >= *deadline; }

bool poll_until(pollfd *fds, nfds_t count, const Deadline &deadline) {
  for (;;) {
    int wait_ms = -1;
    if (deadline) {
      const auto left = *deadline - std::chrono::steady_clock::now();
      if (left <= std::chrono::steady_clock::duration::zero()) return false;
      wait_ms = static_cast<int>(std::min<long long>(
          std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1, INT_MAX));
    }
    const int ready = poll(fds, count, wait_ms);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

int wait_for_child(pid_t child, const Deadline &deadline, bool &timed_out) {
  timed_out = false;
  if (deadline) {
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    if (pidfd != -1) {
      pollfd watched{pidfd, POLLIN, 0};
      timed_out = !poll_until(&watched, 1, deadline);
      close(pidfd);
    }
  }
  if (timed_out) kill(-child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace icf2html
