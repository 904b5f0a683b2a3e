// The exception list: codes of the stream that the writer has no handler for,
// listed in a text file or marked inside the output document.
#pragma once

#include <array>

#include "common/types.h"

namespace kiv {

struct ExceptionListState {
  int exc = -1;    // handle of the list file
  int f_time = 0;  // 1 once the header is written
};
extern ExceptionListState exception_list;

void reset_exception_list();

// The 45 codes that are skipped silently, never reported.
extern const std::array<IcfCode, 45> ex;

// Opens the list when it is wanted (and not marked in the document); 0 or 6.
int exopen(const char *name);
int exclose();
// Handles one code without a handler; name points at its three characters and
// its first byte is set to RS afterwards. 0, or 7 when writing the list fails.
int except(int in, int out, char *name);

}  // namespace kiv
