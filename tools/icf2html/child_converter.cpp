// The forked converter: limits, working folder, standard streams, then one
// conversion through the library's entry point.
#include "child_converter.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <icf2html.h>

namespace icf2html {

void run_child_converter(const ChildSetup &setup) {
  // A process group of its own, so that the converter programs it starts go
  // with it when the controller has to stop it.
  setpgid(0, 0);
  signal(SIGPIPE, SIG_DFL);  // the controller ignores it; the library handles a broken pipe itself
  if (chdir(setup.private_dir.c_str()) != 0) _exit(child_setup_failed);
  if (setup.memory_mib > 0) {
    const rlim_t bytes = static_cast<rlim_t>(setup.memory_mib) << 20;
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
  }
  const int null_fd = open("/dev/null", O_RDWR);
  const int out_fd = setup.trace_fd != -1 ? setup.trace_fd : null_fd;
  dup2(null_fd, STDIN_FILENO);
  dup2(out_fd, STDOUT_FILENO);
  dup2(out_fd, STDERR_FILENO);

  std::vector<std::string> words = setup.words;
  std::vector<char *> option_words;
  for (std::string &word : words) option_words.push_back(word.data());
  option_words.push_back(nullptr);
  std::string target = setup.target_name;
  std::string intermediate = setup.intermediate_name;
  std::string levels = setup.levels;
  const int code = MainEntryPoint(target.data(), intermediate.data(), levels.data(), option_words.data(),
                                  nullptr, nullptr);
  const unsigned char reported = static_cast<unsigned char>(code);
  // When this write fails the controller judges by the exit status alone.
  [[maybe_unused]] const ssize_t told = write(setup.status_fd, &reported, 1);
  GlobalShutDown();
  RemoveTempFiles();
  RemovePurgeableFiles();
  KIVFreeAll();
  std::fflush(stdout);
  _exit(code);
}

}  // namespace icf2html
