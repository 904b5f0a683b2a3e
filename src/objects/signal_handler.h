// The library's signal handler: a fatal signal during a conversion ends the
// process with a known status. The host's own dispositions are saved when a
// conversion starts and put back when it returns.
#pragma once

namespace kiv {

// Installs sig_handle for the fatal and terminal signals; 0.
int KIVInititialization();
// Sets KIVCancel and ends the process: status 16 for SIGFPE, SIGBUS and SIGSEGV,
// the signal's number for the others. Async-signal-safe.
void sig_handle(int signal);

// Saves the dispositions that KIVInititialization changes.
void save_signal_dispositions();
// Puts the saved dispositions back (when any were saved).
void restore_signal_dispositions();

}  // namespace kiv
