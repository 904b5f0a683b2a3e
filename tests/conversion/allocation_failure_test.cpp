// Every allocation of every conversion case fails in turn. A conversion either
// recovers completely (its exact expected HTML and exit code) or ends with 8;
// either way every block goes back to the host, the intermediate file is gone
// and no temporary file stays.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "support/case_file.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

using test_support::ConversionCase;

// The case files by name, in the order of the loaded cases.
std::vector<std::string> case_files() {
  std::vector<std::string> files;
  for (const ConversionCase &c : test_support::load_case_directory(ICF_CASES_DIR))
    if (files.empty() || files.back() != c.file) files.push_back(c.file);
  return files;
}

// Points TMPDIR at a folder for its lifetime, so that temporary files the
// library makes outside the conversion's folder (a converter run's extents
// file) are seen by the listing too.
class TmpdirOverride {
 public:
  explicit TmpdirOverride(const std::string &folder) {
    if (const char *old = std::getenv("TMPDIR")) saved = old;
    setenv("TMPDIR", folder.c_str(), 1);
  }
  ~TmpdirOverride() {
    if (saved) setenv("TMPDIR", saved->c_str(), 1);
    else unsetenv("TMPDIR");
  }
  TmpdirOverride(const TmpdirOverride &) = delete;
  TmpdirOverride &operator=(const TmpdirOverride &) = delete;

 private:
  std::optional<std::string> saved;
};

class AllocationFailure : public testing::TestWithParam<std::string> {};

TEST_P(AllocationFailure, RecoversCompletelyOrEndsWithNoMemory) {
  long conversions = 0;
  for (const ConversionCase &c : test_support::load_case_directory(ICF_CASES_DIR)) {
    if (c.file != GetParam()) continue;
    test_support::TempDir dir;
    const TmpdirOverride tmpdir(dir.path().string());
    test_support::ConversionSettings settings;
    settings.levels = c.levels;
    settings.options = c.options;
    settings.host_allocator = true;
    const auto whole = test_support::convert_notation(dir.path().string(), c.input, settings);
    ASSERT_EQ(whole.code, c.code) << c.name;
    const long requests = test_support::allocations_made();
    for (long n = 1; n <= requests; ++n) {
      settings.fail_allocation = n;
      const auto result = test_support::convert_notation(dir.path().string(), c.input, settings);
      ++conversions;
      const std::string where = c.name + ", allocation " + std::to_string(n) + " of " + std::to_string(requests);
      if (result.code != 8) {
        EXPECT_EQ(result.code, c.code) << where;
        EXPECT_EQ(result.html, c.expected) << where << test_support::describe_difference(c.expected, result.html);
      }
      EXPECT_EQ(test_support::blocks_outstanding(), 0) << where;
      for (const std::string &name : dir.listing())
        EXPECT_TRUE(name == "out.html" || name == "except.lst") << name << " left after " << where;
      std::filesystem::remove(dir.file("out.html"));
      std::filesystem::remove(dir.file("except.lst"));
    }
  }
  RecordProperty("conversions", std::to_string(conversions));
}

INSTANTIATE_TEST_SUITE_P(Cases, AllocationFailure, testing::ValuesIn(case_files()),
                         [](const testing::TestParamInfo<std::string> &info) {
                           return info.param.substr(0, info.param.find('.'));
                         });

}  // namespace
