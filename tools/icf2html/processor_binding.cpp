#include "processor_binding.h"

#include <sched.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <map>
#include <string>
#include <utility>

namespace icf2html {

namespace {

// A number the kernel gives for a processor's topology; `fallback` where it gives none.
int topology_number(int cpu, const char *what, int fallback) {
  std::ifstream file("/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/topology/" + what);
  int value = fallback;
  return file >> value ? value : fallback;
}

}  // namespace

std::vector<Processor> allowed_processors() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  std::vector<Processor> processors;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return processors;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
    if (CPU_ISSET(cpu, &allowed))
      processors.push_back({cpu, topology_number(cpu, "physical_package_id", 0), topology_number(cpu, "core_id", cpu)});
  return processors;
}

std::vector<int> binding_order(std::vector<Processor> processors) {
  std::ranges::sort(processors, {}, &Processor::cpu);
  // How many processors of the same core come before each one.
  std::map<std::pair<int, int>, int> seen;
  std::vector<std::pair<int, int>> ranked;  // (rank on its core, processor)
  for (const Processor &p : processors) ranked.emplace_back(seen[{p.package, p.core}]++, p.cpu);
  std::ranges::sort(ranked);
  std::vector<int> order;
  for (const auto &[rank, cpu] : ranked) order.push_back(cpu);
  return order;
}

int bind_to_free_processor(const std::vector<int> &order) {
  for (const int cpu : order) {
    // The claim is a name in the abstract socket namespace: it leaves no file
    // behind, and the kernel frees it when the last process holding it ends.
    const int claim = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (claim == -1) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = "icf2html-processor-" + std::to_string(cpu);
    std::copy(name.begin(), name.end(), address.sun_path + 1);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (bind(claim, reinterpret_cast<const sockaddr *>(&address), length) == 0 &&
        sched_setaffinity(0, sizeof one, &one) == 0)
      return cpu;  // the claim stays open for the life of the process
    close(claim);
  }
  return -1;
}

}  // namespace icf2html
