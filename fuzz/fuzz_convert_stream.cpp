// Arbitrary bytes as the intermediate stream, converted through MainEntryPoint.
// The first byte chooses the level letter and modifiers, the second the option
// words; the rest is the stream. After the host's shutdown calls no temporary
// file may remain and every block of the host allocator must be back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <icf2html.h>

#include "support/fake_host.h"
#include "support/fuzz_workspace.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2) return 0;
  const std::string &dir = test_support::fuzz_work_dir();
  static constexpr const char *level_choices[] = {"0", "1", "2", "3", "4", "5", "2p", "5x", "3m", "9", "1e", "2n"};
  std::string levels = level_choices[data[0] % (sizeof level_choices / sizeof *level_choices)];
  std::vector<std::string> words = {"N"};
  if (data[1] & 1) words.emplace_back("PE=" + dir + "/except.lst");
  if (data[1] & 2) words.emplace_back("PC");
  if (data[1] & 4) words.emplace_back("CMD=TITLE=fuzz");

  const std::string icf = dir + "/in.icf";
  std::FILE *f = std::fopen(icf.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(data + 2, 1, size - 2, f);
  std::fclose(f);

  std::vector<char *> option_words;
  for (std::string &w : words) option_words.push_back(w.data());
  option_words.push_back(nullptr);
  std::string target = dir + "/out.html";
  std::string icf_name = icf;

  test_support::reset_allocator(0);
  MainEntryPoint(target.data(), icf_name.data(), levels.data(), option_words.data(), test_support::counting_malloc,
                 test_support::counting_free);
  GlobalShutDown();
  RemoveTempFiles();
  RemovePurgeableFiles();
  KIVFreeAll();
  if (test_support::blocks_outstanding() != 0) std::abort();
  if (test_support::temporary_files_left(dir, "in.icf")) std::abort();
  return 0;
}
