// Runs a command line as a user would and collects what it prints; or starts a
// program in the background with its standard streams where a test wants them.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace test_support {

struct ToolRun {
  int status;          // exit status; -1 when the command did not exit normally
  std::string output;  // standard output and standard error together
};

ToolRun run_tool(const std::string &command);

// Where a started program runs and where its standard streams go: "" leaves
// the folder and the stream as they are; stderr_fd, when not -1, is used for
// standard error instead of a file. Standard input is /dev/null when
// null_input is set.
struct StartIn {
  std::string directory;
  std::string stdout_file;
  std::string stderr_file;
  int stderr_fd = -1;
  bool null_input = false;
};

// Starts words[0] with the words as its arguments; -1 when it could not start.
pid_t start_program(const std::vector<std::string> &words, const StartIn &in = {});
// Waits for a started program: its exit status, or 256 and the signal that ended it.
int wait_program(pid_t pid);

}  // namespace test_support
