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

// Waits for the child until the deadline, kills its process group when the
// deadline passes, and collects it: the wait status.
int wait_for_child(pid_t child, const Deadline &deadline, bool &timed_out);

}  // namespace icf2html
