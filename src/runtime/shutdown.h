// Shutdown: the host's calls after a conversion, and the list of temporary
// files (pictures and object data extracted to disk) that RemoveTempFiles removes.
#pragma once

#include <icf2html.h>  // GlobalShutDown, RemoveTempFiles

namespace kiv {

struct TempFileNode;

struct ShutdownState {
  TempFileNode *FileList = nullptr;
  TempFileNode *LastFile = nullptr;
};
extern ShutdownState shutdown_state;

// Appends a copy of name to the temporary file list; 0 (also when no memory is left).
int AddTempFileName(const char *name);
// Converter-specific shutdown: nothing to do for the HTML writer; 0.
int LocalShutDown();
// After KIVFreeAll: every pointer of the library into released memory is
// dropped, so that later calls find empty lists and tables.
void forget_released_blocks();

}  // namespace kiv
