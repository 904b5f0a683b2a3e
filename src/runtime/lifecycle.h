// The conversion's lifecycle: the order in which the modules are reset when a
// conversion starts and released when it ends, the exit frame around it, and
// the host's shutdown calls. Every other module exposes a reset of its own and
// calls nothing here.
#pragma once

#include <icf2html.h>  // GlobalShutDown, KIVFreeAll

namespace kiv {

// Returns every module of the library to its state at the start of a
// conversion (run at every entry; test fixtures call it too).
void reset_conversion_state();

struct ConversionEnd {
  int code;     // the conversion's exit code
  bool exited;  // true when it ended through KIVexit rather than an early return
};

// Resets the library and runs one conversion inside an exit frame. Whatever
// ends it (KIVexit, an allocation failure, any other exception), what the
// conversion holds is released here, and a release failure replaces a
// successful end; 0 then becomes the warning flag. Never throws.
ConversionEnd run_conversion(int count, char **arguments);

}  // namespace kiv
