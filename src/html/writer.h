// The HTML writer's entry, main loop and record defaults. One call of the entry
// is one conversion: record, level, files, prologue, main loop, epilogue, exit.
// What the conversion holds is released by the lifecycle, through the calls
// below.
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

// Runs one conversion with the converter's argument vector (arguments[1] the
// target, the rest option words), inside an exit frame. Returns 1 without a
// target and 8 when the format record cannot be had, before anything is open;
// otherwise ends through tt_err_exit and does not return. writer.record is set
// from the moment there is something to release.
int run_converter(int count, char **arguments);
// Flushes the output, if still open, and closes the source and the target.
// Returns the code of a failure met while flushing, or 0.
int close_conversion_files(fmt_info *rec);
// Frees the record and its summary strings; writer.record becomes null.
void free_record(fmt_info *rec);
void reset_writer();
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
// Ends the conversion with code through KIVexit; the exit frame releases
// everything and turns 0 into the warning flag.
[[noreturn]] void tt_err_exit(fmt_info *rec, int code);
// Writes one byte to the output; 0.
int ex_put(int c);

}  // namespace kiv
