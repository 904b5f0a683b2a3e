// Binding a batch worker, and the converter processes it starts, to one
// processor. A worker and its converter never run at the same time: the
// converter sends a request and waits, the worker answers and waits. On one
// processor each hand-over is a switch on the spot; across two, every request
// and every answer wakes a processor that had gone idle.
#pragma once

#include <vector>

namespace icf2html {

// A processor the process may run on, with the core it belongs to.
struct Processor {
  int cpu = 0;
  int package = 0;  // the physical package
  int core = 0;     // the core within its package
};

// The processors this process may run on, as the kernel describes them.
std::vector<Processor> allowed_processors();

// The order in which workers take processors: one of every core first (a
// second worker on a core shares it with the first), then the second of every
// core, and so on.
std::vector<int> binding_order(std::vector<Processor> processors);

// Claims the first processor in `order` that no other worker on this machine
// holds, and binds the calling process to it; the claim lasts as long as the
// process and the children it forks. Returns the processor, or -1 when every
// one is held (the process then runs where the kernel puts it).
int bind_to_free_processor(const std::vector<int> &order);

}  // namespace icf2html
