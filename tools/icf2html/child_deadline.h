// Waiting for a child process under a wall-clock limit.
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <chrono>
#include <optional>

namespace icf2html {

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

// The moment `seconds` from now; none for 0 (no limit).
Deadline deadline_after(double seconds);

// Polls `fds` until one is ready or the deadline passes; false at the deadline
// (or when polling fails).
bool poll_until(pollfd *fds, nfds_t count, const Deadline &deadline);

// While in scope, SIGALRM interrupts the process's blocking calls from the
// deadline on, again every few milliseconds until the scope ends: a blocking
// read of the child's pipe learns of the deadline without a poll before each
// read, and a signal that came just before the read began comes again. The
// handler does nothing; calls that retry on EINTR are unaffected.
class DeadlineAlarm {
 public:
  explicit DeadlineAlarm(const Deadline &deadline);
  ~DeadlineAlarm();
  DeadlineAlarm(const DeadlineAlarm &) = delete;
  DeadlineAlarm &operator=(const DeadlineAlarm &) = delete;

 private:
  bool armed_ = false;
};

// Whether the deadline has passed.
bool passed(const Deadline &deadline);

// Waits for the child until the deadline, kills its process group when the
// deadline passes, and collects it: the wait status.
int wait_for_child(pid_t child, const Deadline &deadline, bool &timed_out);

}  // namespace icf2html
