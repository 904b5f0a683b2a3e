// Headers, footers, footnotes and endnotes: collected in temporary buffers
// under a saved format record and written after the body.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

int tt_fnt(fmt_info *rec, std::int32_t code);
int tt_hf(fmt_info *rec, std::int32_t code);

struct NotesState {
  int HeaderBuffer = -1;    // temporary buffers of the collected texts, -1 none
  int FooterBuffer = -1;
  int FootnoteBuffer = -1;
  int EndnoteBuffer = -1;
};
extern NotesState notes;

// Copies a buffer's bytes to the output (nothing for -1).
void DumpNoteBuffer(int handle);

}  // namespace kiv
