// The host entries.
#include "runtime/host_entry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "objects/signal_handler.h"
#include "runtime/error_exit.h"
#include "runtime/file_layer_routes.h"
#include "runtime/lifecycle.h"
#include "runtime/memory.h"
#include "runtime/strings.h"

namespace kiv {

HostEntryState host_entry;

namespace {

constexpr std::size_t program_block = 48;
constexpr std::size_t icf_block = 128;     // "-t=" and at most 124 characters
constexpr std::size_t levels_block = 16;   // "-v" and at most 13 level letters
constexpr int first_option_slot = 4;

char *prefixed_block(std::size_t size, std::string_view prefix, const char *text) {
  auto *block = static_cast<char *>(KIVmalloc(size));
  if (!block) return nullptr;
  copy_bounded(block, size, prefix);
  copy_bounded(block + prefix.size(), size - prefix.size(), text ? text : "");
  return block;
}

void free_arguments() {
  auto &args = host_entry.args;
  KIVfree(args[0]);
  args[0] = nullptr;
  args[1] = nullptr;  // the caller's target name, not ours
  for (int i = 2; i < entry_argument_slots; ++i) {
    KIVfree(args[i]);
    args[i] = nullptr;
  }
}

// Builds the argument vector; the number of entries, or -1 when no memory is left.
int build_arguments(const char *target, const char *icf, const char *levels, char *const *option_words) {
  auto &args = host_entry.args;
  // An intermediate name too long for its entry is not cut (a shorter name could
  // be another file, which the converter removes at its end): it stays empty.
  if (icf && std::strlen(icf) > icf_block - 4) icf = nullptr;
  args[0] = prefixed_block(program_block, "KIVMainEntry", "");
  args[1] = const_cast<char *>(target);  // only read: the writer keeps it as a const name
  args[2] = prefixed_block(icf_block, "-t=", icf);
  args[3] = prefixed_block(levels_block, "-v", levels);
  if (!args[0] || !args[2] || !args[3]) return -1;
  int count = first_option_slot;
  for (int i = 0; option_words && option_words[i] && count < entry_argument_slots; ++i) {
    args[count] = new_string(option_words[i]);
    if (!args[count]) return -1;
    ++count;
  }
  return count;
}

// Whatever the exit code, an intermediate file that is a local regular file (or
// a link to one) does not outlive the call; the writer removes it on its own
// paths, this covers the failures before it runs. Other kinds of input stay.
void remove_intermediate(const char *icf) {
  struct stat info{};
  if (icf && *icf && lstat(icf, &info) == 0 && (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))) unlink(icf);
}

}  // namespace

}  // namespace kiv

extern "C" ICF2HTML_API int MainEntryPoint(const char *target, const char *icf, const char *levels, char *const *options,
                                           void *(*mallocHook)(size_t), void (*freeHook)(void *)) {
  using namespace kiv;
  save_signal_dispositions();
  set_host_allocator(mallocHook, freeHook);
  const int count = build_arguments(target, icf, levels, options);
  const int code = count < 0 ? static_cast<int>(exit_no_memory) : run_conversion(count, host_entry.args).code;
  free_arguments();
  restore_signal_dispositions();
  // On the other routes the intermediate file is the controlling process's or
  // the host's: the converter asked it to remove the file through the route.
  if (&current_route() == &local_route) remove_intermediate(icf);
  return code;
}

extern "C" ICF2HTML_API int KIVMainEntry(int count, char **arguments) {
  using namespace kiv;
  // Called without MainEntryPoint: a conversion that got going ends the process
  // with its code; only the early failures return.
  const ConversionEnd end = run_conversion(count, arguments);
  if (end.exited) std::exit(end.code);
  return end.code;
}
