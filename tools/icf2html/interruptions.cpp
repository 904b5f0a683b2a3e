#include "interruptions.h"

#include <csignal>
#include <initializer_list>

namespace icf2html {
namespace {

volatile std::sig_atomic_t received = 0;

void record(int signal) {
  if (received == 0) received = signal;
}

}  // namespace

void catch_interruptions() {
  struct sigaction action{};
  action.sa_handler = record;
  sigemptyset(&action.sa_mask);
  // No restart: a read of the input that waits returns, and the copy stops.
  for (int signal : {SIGINT, SIGTERM}) sigaction(signal, &action, nullptr);
}

int interruption() { return received; }

}  // namespace icf2html
