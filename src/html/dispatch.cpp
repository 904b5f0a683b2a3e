// The code dispatcher and the code stack.
#include "html/dispatch.h"

#include <cstring>

#include "html/code_table.h"
#include "html/writer.h"
#include "runtime/error_exit.h"
#include "runtime/exception_list.h"
#include "runtime/options.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"

namespace kiv {

DispatchState dispatch;

void reset_dispatch() { dispatch = {}; }

namespace {

constexpr int not_a_code = 5;  // an ESC without GS: both bytes are dropped

// GS and the name read byte by byte, into tbuf; false when GS is missing.
[[gnu::noinline]] bool read_name_bytewise() {
  if (b_getc() != GS) return false;
  for (int i = 0; i < 3; ++i) {
    const int c = b_getc();
    // A stream that ends inside the name leaves NUL there; the code is then unknown.
    dispatch.tbuf[static_cast<std::size_t>(i)] = c == end_of_input ? '\0' : static_cast<char>(c);
  }
  return true;
}

}  // namespace

int tran108t(fmt_info *rec) {
  const unsigned char *const at = b_window_begin();
  if (b_window_end() - at >= 4 && at[0] == GS) {
    // GS and the name are at hand in the source window.
    std::memcpy(dispatch.tbuf.data(), at + 1, 3);
    b_take(4);
  } else if (!read_name_bytewise()) {
    return not_a_code;
  }
  const std::int32_t number = StrToIcfCode(dispatch.tbuf.data());
  if (const CodeHandler handler = find_handler(number)) {
    handler(rec, number);
    return 0;
  }
  if (settings.optflags & opt_exception_list) return except(rec->icf_handle, rec->out_handle, dispatch.tbuf.data());
  x_icf();
  return 0;
}

int tt_tran_init() { return 0; }

std::int32_t icf_stack(fmt_info *rec, int operation, std::int32_t code) {
  switch (operation) {
    case 0:
      dispatch.code_stack.fill(0);
      dispatch.depth = -1;
      return 0;
    case 1:
      if (dispatch.depth + 1 >= code_stack_depth) tt_err_exit(rec, exit_fatal);
      dispatch.code_stack[static_cast<std::size_t>(++dispatch.depth)] = code;
      return 0;
    case 2: {
      if (dispatch.depth < 0) tt_err_exit(rec, exit_fatal);
      const auto slot = static_cast<std::size_t>(dispatch.depth--);
      const std::int32_t top = dispatch.code_stack[slot];
      dispatch.code_stack[slot] = 0;
      return top;
    }
    default: return 0;
  }
}

}  // namespace kiv
