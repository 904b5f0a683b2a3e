#include "support/tool_run.h"

#include <sys/wait.h>

#include <cstdio>

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

}  // namespace test_support
