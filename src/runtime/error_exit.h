// Error exit: records error codes and ends the conversion for every code but the
// two warnings (5 and 12), which are only recorded. KIVexit, the single fatal
// path, unwinds to the innermost exit frame.
#pragma once

namespace kiv {

// Exit and error codes of the library.
enum ExitCode : int {
  exit_ok = 0,
  exit_target_failed = 1,
  exit_read_failed = 2,
  exit_open_failed = 3,
  exit_write_failed = 4,
  exit_read_past_end = 5,      // warning
  exit_exception_list_open = 6,
  exit_exception_list_write = 7,
  exit_no_memory = 8,
  exit_disk_full = 10,
  exit_warning = 12,           // warning
  exit_fatal = 16,             // fatal signal, a broken code stack, or an unexpected failure
  exit_interrupted = 17,       // SIGINT or SIGTERM, when the host keeps those signals
};

struct ErrorState {
  int last_err = 0;     // latest code recorded; a fatal code once recorded stays
  int w_err = 0;        // 1 once a warning was recorded
  int KIVCancel = 0;    // 1 once a fatal error or signal ended the conversion
  int return_val = 0;   // exit code carried back by KIVexit
  int exit_frames = 0;  // exit frames under way; outlives the per-conversion reset
};
extern ErrorState errors;

// Returns the error record to the start of a conversion, keeping the exit frames
// that are under way.
void reset_error_exit();

// Thrown by KIVexit and caught only by exit frames: the jump back to the entry
// point unwinds every frame on the way.
struct ExitRequest {
  int code;
};

// Ends the conversion with code: back to the innermost exit frame, or, when
// none is under way, the process ends with code.
[[noreturn]] void KIVexit(int code);

// Runs f as an exit frame: KIVexit inside it returns its code here.
template <typename F>
int run_with_exit_point(F &&f) {
  ++errors.exit_frames;
  int code;
  try {
    code = f();
  } catch (const ExitRequest &request) {
    code = request.code;
  }
  --errors.exit_frames;
  return code;
}

// Records code. A warning (5, 12) sets w_err and returns 0; any other code ends
// the conversion through KIVexit and does not return.
int err_exit(int code);
// 1 when a fatal code has been recorded, else 0.
int CancelCheck();
// Plain-words description of an exit code, for hosts that report failures.
const char *exit_code_text(int code);

}  // namespace kiv
