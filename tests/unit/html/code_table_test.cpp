// The code table's lookup: every code number of the table finds its own
// handler and no other number finds any.
#include "html/code_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace {

kiv::CodeHandler handler_by_search(std::int32_t code) {
  for (const kiv::CodeTableRow &row : kiv::tran_table)
    if (row.code == code) return row.handler;
  return nullptr;
}

TEST(CodeTable, LookupAgreesWithTheTableForEveryPackedNumber) {
  int found = 0;
  for (std::int32_t code = 0; code < (1 << 16); ++code) {
    const kiv::CodeHandler expected = handler_by_search(code);
    ASSERT_EQ(kiv::find_handler(code), expected) << code;
    found += expected != nullptr;
  }
  EXPECT_EQ(found, static_cast<int>(kiv::code_table_size));
}

TEST(CodeTable, NumbersOfNamesOutsideTheLettersFindNothing) {
  // Packed from bytes below '@' or far above 'Z', a name gives negative or large numbers.
  for (std::int32_t code : {-1, -31, INT_MIN, 1 << 16, 1 << 20, INT_MAX}) EXPECT_EQ(kiv::find_handler(code), nullptr) << code;
}

}  // namespace
