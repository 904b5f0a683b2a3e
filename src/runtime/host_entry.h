// The host entry wrapper: MainEntryPoint builds the converter's argument vector,
// installs the host's allocator and is the single return point of KIVexit.
#pragma once

#include <icf2html.h>

namespace kiv {

inline constexpr int entry_argument_slots = 20;

struct HostEntryState {
  char *args[entry_argument_slots] = {};  // argument vector built by MainEntryPoint
  int return_val = 0;                     // exit code carried back by KIVexit
  int active_entries = 0;                 // MainEntryPoint calls under way
};
extern HostEntryState host_entry;

// Thrown by KIVexit and caught only by MainEntryPoint (and test fixtures): the
// jump back to the entry point unwinds every frame on the way.
struct ExitRequest {
  int code;
};

// Ends the conversion with code: back to the active MainEntryPoint, or, when
// none is active, the process ends with code.
[[noreturn]] void KIVexit(int code);

// Runs f as MainEntryPoint does: KIVexit inside it returns its code here.
template <typename F>
int run_with_exit_point(F &&f) {
  ++host_entry.active_entries;
  int code;
  try {
    code = f();
  } catch (const ExitRequest &request) {
    code = request.code;
  }
  --host_entry.active_entries;
  return code;
}

}  // namespace kiv
