// The test host.
#include "support/fake_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <icf2html.h>

#include "stream/buffered_io.h"
#include "stream_notation.h"
#include "support/temp_dir.h"

namespace test_support {

namespace {
long allocation_count = 0;
long fail_at_count = 0;
long outstanding = 0;
long peak_outstanding = 0;
}  // namespace

void reset_allocator(long fail_at) {
  allocation_count = 0;
  fail_at_count = fail_at;
  outstanding = 0;
  peak_outstanding = 0;
}

void *counting_malloc(std::size_t n) {
  ++allocation_count;
  if (fail_at_count != 0 && allocation_count == fail_at_count) return nullptr;
  void *p = std::malloc(n);
  if (p && ++outstanding > peak_outstanding) peak_outstanding = outstanding;
  return p;
}

void counting_free(void *p) {
  if (p) --outstanding;
  std::free(p);
}

long allocations_made() { return allocation_count; }
long blocks_outstanding() { return outstanding; }

std::string assemble(const std::string &notation_text) {
  std::string bytes, error;
  EXPECT_TRUE(notation::from_notation(notation_text, bytes, error)) << error;
  return bytes;
}

namespace {

// MainEntryPoint with the names as they are, the option words and N (no
// progress bar on the test's standard output), then the host's four shutdown
// calls. With host_allocator the blocks come from the counting allocator,
// counted from zero, its fail_at-th failing.
int run_entry(const std::string &target, const std::string &icf, const std::string &levels,
              const std::vector<std::string> &options, bool host_allocator, long fail_at) {
  std::string target_name = target, icf_name = icf, level_letters = levels;
  std::vector<std::string> words = options;
  words.emplace_back("N");
  std::vector<char *> option_words;
  for (std::string &word : words) option_words.push_back(word.data());
  option_words.push_back(nullptr);
  if (host_allocator) reset_allocator(fail_at);
  const int code = MainEntryPoint(target_name.data(), icf_name.data(), level_letters.data(), option_words.data(),
                                  host_allocator ? counting_malloc : nullptr, host_allocator ? counting_free : nullptr);
  GlobalShutDown();
  RemoveTempFiles();
  RemovePurgeableFiles();
  KIVFreeAll();
  return code;
}

}  // namespace

Conversion convert_bytes(const std::string &dir, const std::string &bytes, const ConversionSettings &settings) {
  const std::string out = dir + "/out.html";
  write_file(dir + "/input.icf", bytes);
  kiv::set_buffer_size_limit(settings.buffer_limit);
  // Relative names (the exception list, picture files) land in the test's
  // directory, and the target name written as a default title is always "out.html".
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  Conversion result;
  result.code = run_entry("out.html", "input.icf", settings.levels, settings.options, settings.host_allocator,
                          settings.fail_allocation);
  kiv::set_buffer_size_limit(-1);
  std::filesystem::current_path(previous);
  result.target_exists = std::filesystem::exists(out);
  if (result.target_exists) result.html = read_file(out);
  return result;
}

Conversion convert_notation(const std::string &dir, const std::string &notation_text,
                            const ConversionSettings &settings) {
  return convert_bytes(dir, assemble(notation_text), settings);
}

int convert_names(const std::string &target, const std::string &icf, const std::string &levels,
                  const std::vector<std::string> &options, bool host_allocator) {
  return run_entry(target, icf, levels, options, host_allocator, 0);
}

long peak_blocks_outstanding() { return peak_outstanding; }

}  // namespace test_support
