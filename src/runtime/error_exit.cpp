// Error exit: the deferred warning flag and the single fatal path.
#include "runtime/error_exit.h"

#include <cstdlib>

namespace kiv {

ErrorState errors;

namespace {
constexpr bool is_warning(int code) { return code == exit_read_past_end || code == exit_warning; }
}  // namespace

void reset_error_exit() {
  const int frames = errors.exit_frames;
  errors = {};
  errors.exit_frames = frames;
}

void KIVexit(int code) {
  errors.return_val = code;
  if (errors.exit_frames > 0) throw ExitRequest{code};
  std::exit(code);
}

int err_exit(int code) {
  const bool fatal_recorded = errors.last_err != 0 && !is_warning(errors.last_err);
  if (!fatal_recorded) errors.last_err = code;
  if (is_warning(code)) {
    errors.w_err = 1;
    return 0;
  }
  errors.KIVCancel = 1;
  KIVexit(code);
}

int CancelCheck() { return errors.last_err != 0 && !is_warning(errors.last_err) ? 1 : 0; }

const char *exit_code_text(int code) {
  switch (code) {
    case exit_ok: return "success";
    case exit_target_failed: return "the target file cannot be created or replaced";
    case exit_read_failed: return "reading the source failed";
    case exit_open_failed: return "the intermediate file or a temporary file cannot be opened";
    case exit_write_failed: return "writing failed";
    case exit_read_past_end: return "reading went on past the end of the input";
    case exit_exception_list_open: return "the exception list cannot be opened";
    case exit_exception_list_write: return "writing the exception list failed";
    case exit_no_memory: return "not enough memory";
    case exit_disk_full: return "a write wrote nothing (disk full)";
    case exit_warning: return "a warning was recorded";
    case exit_fatal: return "the stream is malformed or a fatal signal arrived";
    case exit_interrupted: return "interrupted by a signal";
    default: return "unknown error";
  }
}

}  // namespace kiv
