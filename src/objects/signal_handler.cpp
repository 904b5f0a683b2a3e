// The signal handler and the saving of the host's dispositions around a call.
#include "objects/signal_handler.h"

#include <unistd.h>

#include <array>

#include "runtime/error_exit.h"

namespace kiv {

namespace {

constexpr std::array handled_signals = {
    SIGHUP, SIGINT, SIGILL, SIGQUIT, SIGTRAP, SIGABRT,
#ifdef SIGEMT
    SIGEMT,
#endif
    SIGFPE, SIGBUS, SIGSEGV,
};

// The interruptions a host may keep for itself, and every signal whose
// disposition a call may change.
constexpr std::array interrupt_signals = {SIGINT, SIGTERM};
constexpr auto saved_signals = [] {
  std::array<int, handled_signals.size() + 1> all{};
  for (std::size_t i = 0; i < handled_signals.size(); ++i) all[i] = handled_signals[i];
  all.back() = SIGTERM;
  return all;
}();

struct SavedDispositions {
  std::array<struct sigaction, saved_signals.size()> actions;
  bool saved;
};
SavedDispositions saved_dispositions{};

// The host's disposition of signal as saved when the call began, or null.
const struct sigaction *saved_action_of(int signal) {
  if (!saved_dispositions.saved) return nullptr;
  for (std::size_t i = 0; i < saved_signals.size(); ++i)
    if (saved_signals[i] == signal) return &saved_dispositions.actions[i];
  return nullptr;
}

void interrupt_handle(int signal, siginfo_t *info, void *context) {
  interrupting_signal = signal;
  const struct sigaction *host = saved_action_of(signal);
  if (!host) return;
  if (host->sa_flags & SA_SIGINFO) {
    if (host->sa_sigaction) host->sa_sigaction(signal, info, context);
  } else if (host->sa_handler != SIG_DFL && host->sa_handler != SIG_IGN) {
    host->sa_handler(signal);
  }
}

}  // namespace

void sig_handle(int signal) {
  errors.KIVCancel = 1;
  const bool fault = signal == SIGFPE || signal == SIGBUS || signal == SIGSEGV;
  _exit(fault ? exit_fatal : signal);
}

int KIVInititialization() {
  struct sigaction action{};
  action.sa_handler = sig_handle;
  sigemptyset(&action.sa_mask);
  for (int signal : handled_signals) sigaction(signal, &action, nullptr);
  return 0;
}

void keep_host_interrupts() {
  struct sigaction action{};
  action.sa_sigaction = interrupt_handle;
  action.sa_flags = SA_SIGINFO;  // no restart: a blocked read returns and sees the request
  sigemptyset(&action.sa_mask);
  for (int signal : interrupt_signals) {
    const struct sigaction *host = saved_action_of(signal);
    if (host && !(host->sa_flags & SA_SIGINFO) && host->sa_handler == SIG_IGN) {
      sigaction(signal, host, nullptr);
      continue;
    }
    sigaction(signal, &action, nullptr);
  }
}

void stop_interrupted() { err_exit(exit_interrupted); }

void save_signal_dispositions() {
  for (std::size_t i = 0; i < saved_signals.size(); ++i)
    sigaction(saved_signals[i], nullptr, &saved_dispositions.actions[i]);
  saved_dispositions.saved = true;
  interrupting_signal = 0;
}

void restore_signal_dispositions() {
  if (!saved_dispositions.saved) return;
  for (std::size_t i = 0; i < saved_signals.size(); ++i)
    sigaction(saved_signals[i], &saved_dispositions.actions[i], nullptr);
  saved_dispositions.saved = false;
}

}  // namespace kiv
