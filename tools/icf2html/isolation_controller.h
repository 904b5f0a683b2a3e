// Conversions in a child converter process that reaches no file by itself:
// the controller answers its file operations over the pipe or message-queue
// route for the current conversion's files only, under a time and a memory
// limit. The page and its pictures reach OUTPUT only when the conversion
// succeeds. A document that is not an intermediate stream (RTF) is first read
// by its reader program, run as a process of its own under the same limits,
// into the controller's private folder.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace icf2html {

enum class RemoteRoute { pipes, queue };

inline constexpr int default_timeout_seconds = 60;
inline constexpr long default_memory_mib = 1024;
// Records of 64 KiB carry a read or write in far fewer exchanges than the
// library's default.
inline constexpr int isolated_record_length = 65536;

// The start of the name of a controller's private folder beside OUTPUT:
// ".icf2html-", the controller's process id and "-"; six letters follow.
std::string private_folder_prefix(pid_t controller);

struct IsolatedConversion {
  std::string program;  // how icf2html was started: reader programs are looked up beside it
  std::string input;   // "-" is standard input
  bool known_stream = false;  // the input was recognised as an intermediate stream already
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
  document_unreadable,  // the document's reader failed; it said why on standard error
  setup_failed,       // no private folder, channel or process could be made
};

struct IsolationResult {
  IsolationCause cause = IsolationCause::none;
  bool warning = false;  // converted, and the converter raised its warning flag
  int code = 0;    // the conversion's exit code, when it ended by itself
  int signal = 0;  // the signal that ended the child, for a crash; 16 for one of the faults
  std::string refused_name;           // the first name refused
  std::vector<std::string> pictures;  // files placed beside OUTPUT with the page
};

// A controller with its converter child, kept alive from one conversion to
// the next: the child is replaced only after it crashed, hit a limit or a
// conversion failed, or when a job needs other limits, route or trace. The
// private folder is kept too while the pages go to the same folder and each
// conversion leaves it empty.
class IsolatedConverter {
 public:
  IsolatedConverter();
  ~IsolatedConverter();  // ends the child by its process id
  IsolatedConverter(const IsolatedConverter &) = delete;
  IsolatedConverter &operator=(const IsolatedConverter &) = delete;

  // Runs the conversion; on any failure OUTPUT and the files beside it are as they were.
  IsolationResult convert(const IsolatedConversion &job);
  // The running child's process id, or -1.
  pid_t child_pid() const;

 private:
  struct Child;
  struct KeptFolder;
  std::unique_ptr<Child> child_;
  std::unique_ptr<KeptFolder> kept_;  // the private folder a conversion left empty, for the next one
};

// One conversion in a child of its own.
IsolationResult run_isolated_conversion(const IsolatedConversion &job);

}  // namespace icf2html
