#include "child_deadline.h"

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>

namespace icf2html {

Deadline deadline_after(double seconds) {
  if (seconds <= 0) return std::nullopt;
  return std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                std::chrono::duration<double>(seconds));
}

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
