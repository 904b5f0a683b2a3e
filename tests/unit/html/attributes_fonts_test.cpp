// The language table's invariants; what the tag writer writes stands in the
// conversion cases (attributes, fonts, languages).
#include "html/attributes_fonts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kiv::HTMLLangs;

TEST(LanguageTable, EveryRowHasItsOwnIdAndATag) {
  for (std::size_t i = 0; i < HTMLLangs.size(); ++i) {
    EXPECT_GT(HTMLLangs[i].id, 0);
    EXPECT_NE(std::string(HTMLLangs[i].code), "");
    for (std::size_t j = i + 1; j < HTMLLangs.size(); ++j) EXPECT_NE(HTMLLangs[i].id, HTMLLangs[j].id);
  }
}

}  // namespace
