// The library's signal handler: a fatal signal during a conversion ends the
// process with a known status. The host's own dispositions are saved when a
// conversion starts and put back when it returns. A host that asks to keep
// SIGINT and SIGTERM gets them passed to its own handlers; the conversion then
// ends at the next safe point instead of the process.
#pragma once

#include <csignal>

namespace kiv {

// Installs sig_handle for the fatal and terminal signals; 0.
int KIVInititialization();
// Sets KIVCancel and ends the process: status 16 for SIGFPE, SIGBUS and SIGSEGV,
// the signal's number for the others. Async-signal-safe.
void sig_handle(int signal);

// SIGINT and SIGTERM no longer end the process: each is recorded, handed to the
// host's saved handler (an ignored signal stays ignored) and ends the
// conversion at the next safe point (stop_if_interrupted).
void keep_host_interrupts();
// The signal that asked the conversion to stop, or 0; set by the handler.
inline volatile std::sig_atomic_t interrupting_signal = 0;
// Ends the conversion with the interruption code.
[[gnu::cold]] void stop_interrupted();
// Ends the conversion with the interruption code when a signal asked for it:
// in line, as the main loop asks before every byte.
inline void stop_if_interrupted() {
  if (interrupting_signal != 0) stop_interrupted();
}

// Saves the dispositions that KIVInititialization and keep_host_interrupts change,
// and forgets an earlier interruption.
void save_signal_dispositions();
// Puts the saved dispositions back (when any were saved).
void restore_signal_dispositions();

}  // namespace kiv
