#include "progress_bar.h"

#include <unistd.h>

#include <array>
#include <csignal>

namespace icf2html {
namespace {

constexpr int steps = 50;  // one per two percent

// "\r[" steps marks "]": drawn again in place at every step.
std::array<char, steps + 3> bar = [] {
  std::array<char, steps + 3> b{};
  b.fill(' ');
  b[0] = '\r';
  b[1] = '[';
  b.back() = ']';
  return b;
}();
volatile std::sig_atomic_t steps_drawn = 0;
bool drawing = false;

void step(int) {
  if (steps_drawn >= steps) return;
  bar[static_cast<std::size_t>(2 + steps_drawn)] = '#';
  steps_drawn = steps_drawn + 1;
  // Only async-signal-safe calls here; a short write merely skips a redraw.
  [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, bar.data(), bar.size());
}

}  // namespace

std::string start_progress_bar() {
  if (!isatty(STDERR_FILENO)) return "N";
  struct sigaction action{};
  action.sa_handler = step;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGUSR1, &action, nullptr);
  drawing = true;
  [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, bar.data(), bar.size());
  return "PID=" + std::to_string(getpid());
}

void finish_progress_bar() {
  if (!drawing) return;
  [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, "\n", 1);
}

}  // namespace icf2html
