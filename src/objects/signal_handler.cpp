// The signal handler and the saving of the host's dispositions around a call.
#include "objects/signal_handler.h"

#include <unistd.h>

#include <array>
#include <csignal>

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

struct SavedDispositions {
  std::array<struct sigaction, handled_signals.size()> actions;
  bool saved;
};
SavedDispositions saved_dispositions{};

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

void save_signal_dispositions() {
  for (std::size_t i = 0; i < handled_signals.size(); ++i)
    sigaction(handled_signals[i], nullptr, &saved_dispositions.actions[i]);
  saved_dispositions.saved = true;
}

void restore_signal_dispositions() {
  if (!saved_dispositions.saved) return;
  for (std::size_t i = 0; i < handled_signals.size(); ++i)
    sigaction(handled_signals[i], &saved_dispositions.actions[i], nullptr);
  saved_dispositions.saved = false;
}

}  // namespace kiv
