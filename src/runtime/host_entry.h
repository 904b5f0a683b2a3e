// The host entries: MainEntryPoint builds the converter's argument vector and
// installs the host's allocator and signal handlers; KIVMainEntry takes a vector
// already built. Both run the conversion through the lifecycle.
#pragma once

#include <icf2html.h>

namespace kiv {

inline constexpr int entry_argument_slots = 20;

struct HostEntryState {
  char *args[entry_argument_slots] = {};  // argument vector built by MainEntryPoint
};
extern HostEntryState host_entry;

}  // namespace kiv
