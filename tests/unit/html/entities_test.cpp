// Known rows of the entity table and the row lookup against a plain
// first-match search; the character handlers' output stands in characters.case.
#include "html/entities.h"

#include <gtest/gtest.h>

#include <string>

#include "html/writer.h"
#include "support/fake_host.h"
#include "support/stream_fixture.h"

namespace {

// A few rows whose answers are known from the character sets themselves.
TEST(EntityTable, KnownRows) {
  ASSERT_EQ(kiv::html_ext.size(), 161u);
  const auto value = [](std::size_t row, std::size_t set) { return kiv::html_ext[row].values[set]; };
  EXPECT_STREQ(kiv::html_ext[0].text, "&AElig;");
  EXPECT_EQ(kiv::html_ext[0].level, 0);
  EXPECT_EQ(value(0, 0), 146);  // code page 437
  EXPECT_EQ(value(0, 1), 198);  // ISO 8859-1
  EXPECT_EQ(value(0, 5), -1);   // ISO 8859-2 has no AE
  EXPECT_STREQ(kiv::html_ext[160].text, "&omega;");
  EXPECT_EQ(kiv::html_ext[160].level, 2);
  EXPECT_EQ(value(160, 6), 119);  // the symbol set
  for (const kiv::EntityRow &row : kiv::html_ext) {
    EXPECT_TRUE(row.level >= 0 && row.level <= 2) << row.text;
    EXPECT_NE(std::string(row.text), "") << "every row writes something";
  }
}

// The lookup built when the library is built finds what a search of the rows
// in order finds, for every set and value, and nothing for other sets, -1 or
// values beyond a byte.
TEST(EntityTable, LookupIsTheFirstMatchingRow) {
  for (std::size_t column = 0; column < kiv::char_set_count; ++column) {
    for (int value = -2; value <= 300; ++value) {
      int first = -1;
      for (std::size_t row = 0; row < kiv::html_ext.size() && first == -1; ++row)
        if (value != -1 && kiv::html_ext[row].values[column] == value) first = static_cast<int>(row);
      EXPECT_EQ(kiv::LookUpXChar(kiv::CharSets[column], value), first == -1 ? -1 : 0)
          << "set " << kiv::CharSets[column] << " value " << value;
    }
  }
  EXPECT_EQ(kiv::LookUpXChar(1252, 0xE9), -1);
  EXPECT_EQ(kiv::LookUpXChar(437, 0x7FFFFFFF), -1);
}

}  // namespace
