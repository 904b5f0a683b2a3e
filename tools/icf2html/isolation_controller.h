// One conversion in a child converter process that reaches no file by itself:
// the controller answers its file operations over the pipe or message-queue
// route for that conversion's files only, under a time and a memory limit. The
// page and its pictures reach OUTPUT only when the conversion succeeds.
#pragma once

#include <string>
#include <vector>

namespace icf2html {

enum class RemoteRoute { pipes, queue };

inline constexpr int default_timeout_seconds = 60;
inline constexpr long default_memory_mib = 1024;
// Records of 64 KiB carry a read or write in far fewer exchanges than the
// library's default.
inline constexpr int isolated_record_length = 65536;

struct IsolatedConversion {
  std::string input;   // "-" is standard input
  std::string output;  // "-" is standard output
  std::string levels = "5";
  std::vector<std::string> words;  // the user's option words
  bool trusted = false;            // the document's texts may be written as they are (no UNTRUSTED)
  double timeout_seconds = default_timeout_seconds;  // wall clock, fractions allowed; 0 for none
  long memory_mib = default_memory_mib;           // the child's address space; 0 for none
  RemoteRoute route = RemoteRoute::pipes;
  int record_length = isolated_record_length;
  std::string trace_file;  // the child's standard output (the pipe trace); "" discards it
};

enum class IsolationCause {
  none,
  conversion_failed,  // the conversion ended with a nonzero code
  time_limit,
  memory_limit,
  crashed,
  refused_file,
  input_unreadable,
  setup_failed,       // no private folder, channel or process could be made
};

struct IsolationResult {
  IsolationCause cause = IsolationCause::none;
  int code = 0;    // the conversion's exit code, when it ended by itself
  int signal = 0;  // the signal that ended the child, for a crash; 16 for one of the faults
  std::string refused_name;           // the first name refused
  std::vector<std::string> pictures;  // files placed beside OUTPUT with the page
};

// Runs the conversion; on any failure OUTPUT and the files beside it are as they were.
IsolationResult run_isolated_conversion(const IsolatedConversion &job);


}  // namespace icf2html
