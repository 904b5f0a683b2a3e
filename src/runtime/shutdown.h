// The list of temporary files (pictures and object data extracted to disk) that
// the host's RemoveTempFiles removes, and the converter's own shutdown step.
#pragma once

#include <icf2html.h>  // RemoveTempFiles

namespace kiv {

struct TempFileNode;

struct ShutdownState {
  TempFileNode *FileList = nullptr;
  TempFileNode *LastFile = nullptr;
};
extern ShutdownState shutdown_state;

// Drops the list without freeing it (after KIVFreeAll).
void reset_shutdown();

// Appends a copy of name to the temporary file list; 0 (also when no memory is left).
int AddTempFileName(const char *name);
// Converter-specific shutdown: nothing to do for the HTML writer; 0.
int LocalShutDown();

}  // namespace kiv
