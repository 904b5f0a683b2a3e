// Arbitrary bytes as the intermediate stream, converted through MainEntryPoint.
// The first byte chooses the level letter and modifiers, the second the option
// words; the rest is the stream. After the host's shutdown calls no temporary
// file may remain and every block of the host allocator must be back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/fuzz_workspace.h"
#include "support/temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2) return 0;
  const std::string &dir = test_support::fuzz_work_dir();
  static constexpr const char *level_choices[] = {"0", "1", "2", "3", "4", "5", "2p", "5x", "3m", "9", "1e", "2n"};
  std::string levels = level_choices[data[0] % (sizeof level_choices / sizeof *level_choices)];
  std::vector<std::string> words;
  if (data[1] & 1) words.emplace_back("PE=" + dir + "/except.lst");
  if (data[1] & 2) words.emplace_back("PC");
  if (data[1] & 4) words.emplace_back("CMD=TITLE=fuzz");

  test_support::write_file(dir + "/in.icf", std::string(reinterpret_cast<const char *>(data + 2), size - 2));
  test_support::convert_names(dir + "/out.html", dir + "/in.icf", levels, words, true);
  if (test_support::blocks_outstanding() != 0) std::abort();
  if (test_support::temporary_files_left(dir, "in.icf")) std::abort();
  return 0;
}
