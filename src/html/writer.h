// The HTML writer's entry, main loop, record defaults and single exit path. One
// call of the entry is one conversion: record, level, files, prologue, main
// loop, epilogue, exit.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

struct WriterState {
  std::int32_t ver_code = 0;     // 0 level 1, 1 level 2, 2 level 3/HTML+
  std::int32_t Extensions = 0;   // 1 Netscape extensions, 2 the E extension set
  std::int32_t line_ends = 3;    // 1 CR, 2 LF
  std::int32_t GenPTags = 0;     // 1 every paragraph in P tags
  std::int32_t FirstText = 0;    // 1 once the document head is written
  std::int32_t FontApplied = 0;  // 1 while a FONT tag is open
  std::int32_t in_xrf = 0;       // 1 while a link anchor is open
  const char *p_tgtnm = nullptr; // target file name
  fmt_info *record = nullptr;    // the conversion's format record
};
extern WriterState writer;

// Extension bits.
inline constexpr std::int32_t ext_netscape = 1;
inline constexpr std::int32_t ext_e = 2;

// The closing selector of the CMT and DTX handlers: the code number of NOP.
inline constexpr std::int32_t close_selector = 16878;

// Runs one conversion with the converter's argument vector (arguments[1] the
// target, the rest option words). Returns 8 when the format record cannot be
// had; otherwise ends through tt_err_exit and does not return.
int run_converter(int count, char **arguments);
// Returns every module of the library to its state at the start of a
// conversion (run at every entry; test fixtures call it too).
void reset_conversion_state();
// Copies the stream to the output until the end of input; 0.
int main_loop(fmt_info *rec);
// The text-start rule before any text or character: a new paragraph forces its
// tag, the line has begun, and pending tags are brought up to date.
void start_text(fmt_info *rec);
// At an RS or US that reaches the main loop: closes the open comment or deleted
// text; an empty code stack ends the run with 16. 0.
int ret_func(fmt_info *rec);
// Document-start defaults of a zeroed record; 0.
int tt_set_defaults(fmt_info *rec);
// Resets a record to the defaults of a fresh sub-document.
void init_fmt(fmt_info *rec);
// Releases everything and ends the conversion with code (0 becomes the warning flag).
[[noreturn]] void tt_err_exit(fmt_info *rec, int code);
// Writes one byte to the output; 0.
int ex_put(int c);

}  // namespace kiv
