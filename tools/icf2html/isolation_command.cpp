// Reads the isolation options, runs the conversion and prints one line on failure.
#include "isolation_command.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "isolation_controller.h"
#include "messages.h"

namespace icf2html {

namespace {

// Exit statuses of an isolated conversion beside the plain 0, 1, 2 and 5
// (converted with a warning).
constexpr int exit_failed = 1;
constexpr int exit_usage = 2;
constexpr int exit_time_limit = 3;
constexpr int exit_memory_limit = 4;
constexpr int exit_refused = 6;
constexpr int exit_setup = 7;
constexpr int exit_crashed = 8;
// The status the library's signal handler gives the faults.
constexpr int fault_status = 16;

bool to_number(const char *text, long &value) {
  char *end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= 0;
}

int exit_status(const IsolationResult &result) {
  switch (result.cause) {
    case IsolationCause::none: return result.warning ? status_converted_with_warning : status_converted;
    case IsolationCause::conversion_failed:
    case IsolationCause::input_unreadable:
    case IsolationCause::document_unreadable: return exit_failed;
    case IsolationCause::time_limit: return exit_time_limit;
    case IsolationCause::memory_limit: return exit_memory_limit;
    case IsolationCause::crashed: return exit_crashed;
    case IsolationCause::refused_file: return exit_refused;
    case IsolationCause::setup_failed: return exit_setup;
  }
  return exit_failed;
}

std::string describe_failure(const IsolationResult &result, const IsolatedConversion &job) {
  switch (result.cause) {
    case IsolationCause::none:
      return result.warning ? job.input + ": warning: the input ended inside a code" : "";
    case IsolationCause::document_unreadable: return "";  // the reader's own line said why
    case IsolationCause::conversion_failed: {
      const Cause cause = cause_of(result.code);
      return (cause.input ? job.input : job.output) + ": " + cause.text + " (code " + std::to_string(result.code) + ")";
    }
    case IsolationCause::time_limit: {
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%g", job.timeout_seconds);
      return job.input + ": stopped at the time limit of " + seconds + " s";
    }
    case IsolationCause::memory_limit:
      return job.input + ": stopped at the memory limit of " + std::to_string(job.memory_mib) + " MiB";
    case IsolationCause::crashed:
      if (result.signal == fault_status) return job.input + ": the converter crashed (a memory, bus or arithmetic fault)";
      return job.input + ": the converter crashed with signal " + std::to_string(result.signal) + " (" +
             strsignal(result.signal) + ")";
    case IsolationCause::refused_file:
      return result.refused_name + ": refused: the file does not belong to this conversion";
    case IsolationCause::input_unreadable: return job.input + ": the input cannot be read";
    case IsolationCause::setup_failed:
      return job.output + ": the isolated conversion cannot be set up or its output cannot be placed";
  }
  return "";
}

}  // namespace

bool asks_for_isolation(int argc, char **argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--isolate") == 0) return true;
  return false;
}

void isolation_usage(std::FILE *to) {
  std::fprintf(to,
               "usage: icf2html --isolate [--timeout S] [--memory MB] [--queue] [--trace FILE]\n"
               "                [--trusted] [-l LEVELS] [-o WORD]... INPUT OUTPUT\n"
               "Converts in a child process that reaches only this conversion's files, through\n"
               "this controlling process (over pipes, or a message queue with --queue).\n"
               "  --timeout S   wall-clock limit in seconds (default %d; 0 for none)\n"
               "  --memory MB   the child's address space in MiB (default %ld; 0 for none)\n"
               "  --trace FILE  write the child's pipe trace into FILE\n"
               "  --trusted     the document is trusted, as for a plain conversion\n"
               "A document that is not an intermediate stream (RTF) is read first by its reader\n"
               "program, run as a process of its own under the same limits.\n"
               "Exit status: 0 done, 1 conversion failed, 2 usage, 3 time limit, 4 memory limit,\n"
               "5 converted with a warning, 6 a file outside the conversion was refused, 7 setup\n"
               "failed, 8 the converter crashed.\n",
               default_timeout_seconds, default_memory_mib);
}

int isolated_main(int argc, char **argv) {
  IsolatedConversion job;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    long number = 0;
    if (arg == "--isolate") continue;
    if (arg == "--help" || arg == "-h") {
      isolation_usage(stdout);
      return 0;
    }
    if (arg == "--queue") {
      job.route = RemoteRoute::queue;
    } else if (arg == "--trusted") {
      job.trusted = true;
    } else if ((arg == "-l" || arg == "-o" || arg == "--trace") && has_value) {
      const char *value = argv[++i];
      if (arg == "-l") job.levels = value;
      else if (arg == "-o") job.words.emplace_back(value);
      else job.trace_file = value;
    } else if ((arg == "--timeout" || arg == "--memory") && has_value && to_number(argv[i + 1], number)) {
      ++i;
      if (arg == "--timeout") job.timeout_seconds = static_cast<double>(number);
      else job.memory_mib = number;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "icf2html: unknown or incomplete option %s\n", arg.c_str());
      isolation_usage(stderr);
      return exit_usage;
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) {
    isolation_usage(stderr);
    return exit_usage;
  }
  job.program = argv[0];
  job.input = files[0];
  job.output = files[1];
  const IsolationResult result = run_isolated_conversion(job);
  if (const std::string said = describe_failure(result, job); !said.empty())
    std::fprintf(stderr, "icf2html: %s\n", said.c_str());
  return exit_status(result);
}

}  // namespace icf2html
