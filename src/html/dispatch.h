// The code dispatcher: identifies the code after an ESC by its three letters and
// calls its handler; the stack of codes whose text is still being copied.
#pragma once

#include <array>
#include <cstdint>

#include "html/format_record.h"

namespace kiv {

inline constexpr int code_stack_depth = 5;

struct DispatchState {
  std::array<char, 4> tbuf{};                 // letters of the code being dispatched
  std::array<std::int32_t, code_stack_depth> code_stack{};
  int depth = -1;                              // top of the code stack, -1 empty
};
extern DispatchState dispatch;

void reset_dispatch();

// Reads and handles the code after an ESC: 0 after a handled or skipped code, 5
// when the byte after the ESC is not GS, or the exception list's failure.
int tran108t(fmt_info *rec);
// The code table is sorted when the library is built; 0.
int tt_tran_init();
// operation 0 empties the stack, 1 pushes code, 2 pops and returns the top code;
// an overflow or a pop from the empty stack ends the run with 16.
std::int32_t icf_stack(fmt_info *rec, int operation, std::int32_t code);

}  // namespace kiv
