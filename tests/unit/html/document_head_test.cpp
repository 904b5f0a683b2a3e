// Summary fields at their limits: what the field reader keeps and what it
// leaves in the source.
#include "html/document_head.h"

#include <gtest/gtest.h>

#include <string>

#include "html/writer.h"
#include "stream/buffered_io.h"
#include "support/fake_host.h"
#include "support/stream_fixture.h"
#include "support/temp_dir.h"

namespace {

// tt_getstr over one field: what it keeps and what it leaves in the source.
struct FieldCase {
  const char *label;
  std::string field;
  int size;
  std::string kept;
  std::string left;
};

class SummaryFields : public test_support::StreamFixture, public testing::WithParamInterface<FieldCase> {};

TEST_P(SummaryFields, KeptTextAndRest) {
  const FieldCase &c = GetParam();
  open_streams(c.field);
  char buffer[kiv::summary_size];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  kiv::tt_getstr(buffer, c.size);
  EXPECT_EQ(std::string(buffer), c.kept);
  EXPECT_EQ(read_rest(), c.left);
}

const std::string US = "\x1f", RS = "\x1e", ESC = "\x1b", GS = "\x1d";

INSTANTIATE_TEST_SUITE_P(
    Fields, SummaryFields,
    testing::Values(
        FieldCase{"short", "abc" + US + "next", 255, "abc", "next"},
        FieldCase{"one_below_the_limit", std::string(253, 'a') + US + "n", 255, std::string(253, 'a'), "n"},
        FieldCase{"at_the_limit", std::string(254, 'a') + US + "n", 255, std::string(254, 'a'), "n"},
        FieldCase{"one_past_the_limit", std::string(255, 'a') + US + "n", 255, std::string(254, 'a'), "n"},
        FieldCase{"far_past_the_limit", std::string(300, 'a') + RS + "n", 255, std::string(254, 'a'), RS + "n"},
        // A code in the part that is cut off is still a code: its separators do
        // not end the field, or the summary's other fields would spill out.
        FieldCase{"nested_code_past_the_limit", std::string(255, 'a') + ESC + GS + "BBT" + US + "x" + RS + "b" + US + "n",
                  255, std::string(254, 'a'), "n"},
        FieldCase{"ended_by_rs", "ab" + RS, 255, "ab", RS},
        FieldCase{"ended_by_the_input", "ab", 255, "ab", ""},
        FieldCase{"nested_code_skipped", "a" + ESC + GS + "BBT" + US + "x" + RS + "b" + US, 255, "ab", ""},
        FieldCase{"byte_ff_is_text", "\xff" + US, 255, "\xff", ""},
        FieldCase{"size_one_keeps_nothing", "abc" + US + "n", 1, "", "n"}),
    [](const testing::TestParamInfo<FieldCase> &info) { return std::string(info.param.label); });

}  // namespace
