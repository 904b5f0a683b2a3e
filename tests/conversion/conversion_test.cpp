// Every case of tests/conversion/cases converts to exactly its expected HTML,
// with the exit code it names, at buffer sizes 1, 2, 17 and the default, and
// leaves nothing behind but the target.
#include <gtest/gtest.h>

#include "support/case_file.h"
#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

using test_support::ConversionCase;

struct CaseAtSize {
  ConversionCase conversion;
  int buffer_limit;
};

void PrintTo(const CaseAtSize &c, std::ostream *os) {
  *os << c.conversion.file << ": " << c.conversion.name << " at buffer size " << c.buffer_limit;
}

std::vector<CaseAtSize> all_cases() {
  std::vector<CaseAtSize> result;
  for (const ConversionCase &c : test_support::load_case_directory(ICF_CASES_DIR))
    for (int limit : {-1, 1, 2, 17}) result.push_back({c, limit});
  return result;
}

std::string test_name(const testing::TestParamInfo<CaseAtSize> &info) {
  std::string name = info.param.conversion.file + "_" + info.param.conversion.name;
  for (char &c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  const int limit = info.param.buffer_limit;
  return name + (limit < 0 ? std::string("_default") : "_buffer" + std::to_string(limit));
}

class ConversionCases : public testing::TestWithParam<CaseAtSize> {};

TEST_P(ConversionCases, ProducesExpectedHtml) {
  const CaseAtSize &param = GetParam();
  const ConversionCase &c = param.conversion;
  test_support::TempDir dir;
  test_support::ConversionSettings settings;
  settings.levels = c.levels;
  settings.options = c.options;
  settings.buffer_limit = param.buffer_limit;
  const auto result = test_support::convert_notation(dir.path().string(), c.input, settings);
  EXPECT_EQ(result.code, c.code);
  EXPECT_EQ(result.html, c.expected) << test_support::describe_difference(c.expected, result.html);
  // The intermediate file and every spill file are gone.
  for (const std::string &name : dir.listing()) {
    EXPECT_NE(name, "input.icf");
    EXPECT_NE(name.rfind("KV", 0), 0u) << name << " left behind";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConversionCases, testing::ValuesIn(all_cases()), test_name);

}  // namespace
