// Runs a command line as a user would and collects what it prints.
#pragma once

#include <string>

namespace test_support {

struct ToolRun {
  int status;          // exit status; -1 when the command did not exit normally
  std::string output;  // standard output and standard error together
};

ToolRun run_tool(const std::string &command);

}  // namespace test_support
