#include "support/tool_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

extern char **environ;

namespace test_support {

ToolRun run_tool(const std::string &command) {
  ToolRun result{-1, ""};
  std::FILE *pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

pid_t start_program(const std::vector<std::string> &words, const StartIn &in) {
  std::vector<std::string> copies = words;
  std::vector<char *> argv;
  for (std::string &w : copies) argv.push_back(w.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!in.directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, in.directory.c_str());
  if (in.null_input) posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  constexpr int create = O_WRONLY | O_CREAT | O_TRUNC;
  if (!in.stdout_file.empty()) posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, in.stdout_file.c_str(), create, 0600);
  if (in.stderr_fd >= 0) posix_spawn_file_actions_adddup2(&actions, in.stderr_fd, STDERR_FILENO);
  else if (!in.stderr_file.empty())
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, in.stderr_file.c_str(), create, 0600);
  // The program starts with the ending signals at their defaults, as from a
  // terminal: a test run started in the background ignores SIGINT, and a
  // program that keeps an ignored signal ignored would wait for a kill forever.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int wait_program(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 256 + WTERMSIG(status);
}

}  // namespace test_support
