// Headers, footers, footnotes and endnotes: collected in temporary buffers
// under a saved format record and written after the body.
#include "html/notes_headers.h"

#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "stream/temp_buffers.h"

namespace kiv {

NotesState notes;

// Skips its code until this group of codes is carried out.
int tt_fnt(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_hf(fmt_info *, std::int32_t) { return x_icf(); }

void DumpNoteBuffer(int handle) {
  if (handle == -1) return;
  for (int c = bufget(handle); c != end_of_input; c = bufget(handle)) b_putc(c);
}

}  // namespace kiv
