// Arbitrary bytes as the stream of an untrusted document: converted with the
// UNTRUSTED option word, the page may hold no SCRIPT element, no event
// attribute and no link or source with a scheme that runs code. The first byte
// chooses the level letters, the second further option words; the rest is the
// stream.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/fuzz_workspace.h"
#include "support/html_safety.h"
#include "support/temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2) return 0;
  const std::string &dir = test_support::fuzz_work_dir();
  static constexpr const char *level_choices[] = {"0", "1", "2", "3", "4", "5", "2p", "5x", "1e", "2n"};
  std::string levels = level_choices[data[0] % (sizeof level_choices / sizeof *level_choices)];
  std::vector<std::string> words = {"UNTRUSTED"};
  if (data[1] & 1) words.emplace_back("PC");  // unknown codes marked in the page
  if (data[1] & 2) words.emplace_back("CMD=TITLE=fuzz");

  const std::string target = dir + "/out.html";
  test_support::write_file(dir + "/in.icf", std::string(reinterpret_cast<const char *>(data + 2), size - 2));
  test_support::convert_names(target, dir + "/in.icf", levels, words);

  const std::string finding = test_support::live_content_in(test_support::read_file(target));
  if (!finding.empty()) {
    std::fprintf(stderr, "live content in the page: %s\n", finding.c_str());
    std::abort();
  }
  if (test_support::temporary_files_left(dir, "in.icf")) std::abort();
  return 0;
}
