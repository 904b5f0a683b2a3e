// Fuzz target: option words and configuration files. The first byte chooses how
// the rest is used: even, as option words, one a line, given to the option
// parser; odd, as the text of a configuration file that a C= word names (and
// that may name itself). Every run starts from fresh option state, inside an
// exit frame, in a folder of its own, and gives back all its memory.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <icf2html.h>

#include "runtime/error_exit.h"
#include "runtime/lifecycle.h"
#include "runtime/memory.h"
#include "runtime/options.h"

namespace {

char work_dir_name[] = "/tmp/icf2html-fuzz-options-XXXXXX";

// Files an option word names are created relative to the working folder.
void enter_work_dir() {
  static const bool entered = [] {
    if (!mkdtemp(work_dir_name) || chdir(work_dir_name) != 0) std::abort();
    std::atexit([] { std::filesystem::remove_all(work_dir_name); });
    return true;
  }();
  (void)entered;
}

constexpr std::size_t max_words = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0) return 0;
  enter_work_dir();
  kiv::reset_conversion_state();
  const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  std::vector<std::string> words = {"prog", "target"};
  if (data[0] & 1) {
    std::FILE *f = std::fopen("fuzz.cfg", "wb");
    if (!f) std::abort();
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    words.emplace_back("C=fuzz.cfg");
  } else {
    std::size_t start = 0;
    while (start <= text.size() && words.size() < max_words) {
      std::size_t end = text.find_first_of(std::string("\n\0", 2), start);
      if (end == std::string::npos) end = text.size();
      words.push_back(text.substr(start, end - start));
      start = end + 1;
    }
  }
  std::vector<char *> argv;
  for (std::string &w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  kiv::run_with_exit_point([&] { return kiv::options(static_cast<int>(words.size()) - 2, argv.data() + 2); });
  kiv::reset_options();
  RemovePurgeableFiles();
  KIVFreeAll();
  if (kiv::live_block_count() != 0) std::abort();
  return 0;
}
