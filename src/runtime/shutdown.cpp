// The temporary file list.
#include "runtime/shutdown.h"

#include <cstring>

#include "runtime/file_layer.h"
#include "runtime/memory.h"

namespace kiv {

struct TempFileNode {
  TempFileNode *next;
  char name[1];  // the name and its NUL continue past the node
};

ShutdownState shutdown_state;

int AddTempFileName(const char *name) {
  const std::size_t length = std::strlen(name);
  auto *node = static_cast<TempFileNode *>(KIVmalloc(sizeof(TempFileNode) + length + 1));
  if (!node) return 0;
  std::memcpy(node->name, name, length + 1);
  if (shutdown_state.LastFile) shutdown_state.LastFile->next = node;
  else shutdown_state.FileList = node;
  shutdown_state.LastFile = node;
  return 0;
}

int LocalShutDown() { return 0; }

void reset_shutdown() { shutdown_state = {}; }

}  // namespace kiv

extern "C" ICF2HTML_API int RemoveTempFiles(void) {
  using namespace kiv;
  // The nodes stay; KIVFreeAll releases them with the rest of the library's memory.
  for (TempFileNode *node = shutdown_state.FileList; node; node = node->next)
    if (CheckExist(node->name) == 0) KIVunlink(node->name);
  return 0;
}
