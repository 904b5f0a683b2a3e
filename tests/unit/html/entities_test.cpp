// Known rows of the entity table, the row lookup against a plain first-match
// search, and the character handlers' reading of
// their parameters and of the substitute character.
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

TEST(EntityTable, SetsAreInColumnOrder) {
  EXPECT_EQ(kiv::CharSets, (std::array<std::int32_t, 7>{437, 819, 850, 9999, 8591, 8592, 9998}));
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

class CharacterOutput : public test_support::StreamFixture {
 protected:
  void SetUp() override {
    StreamFixture::SetUp();
    tt_set_defaults(&rec);
    kiv::writer.FirstText = 1;  // the head is another test's business
    kiv::writer.ver_code = 2;
  }
  // Runs a handler over the parameters of a code (the notation of the whole
  // code; the handler starts after its name) and returns output and the rest.
  std::string run(kiv::CodeHandler handler, const std::string &code_notation, std::string *rest = nullptr) {
    const std::string bytes = test_support::assemble(code_notation);
    open_streams(bytes.substr(5));
    handler(&rec, 0);
    if (rest) *rest = read_rest();
    return close_streams();
  }
  kiv::fmt_info rec{};
};

TEST_F(CharacterOutput, FirstRowWinsAndLevelDecides) {
  kiv::writer.ver_code = 2;
  EXPECT_EQ(run(kiv::tt_ucs, "{UCS E6|E1|EB}"), "&micro;&szlig;&delta;");
  kiv::writer.ver_code = 1;
  EXPECT_EQ(run(kiv::tt_ucs, "{UCS E6|E1|EB}"), "_&szlig;_");
}

TEST_F(CharacterOutput, TextsThatAreNotEntityNamesAreWrittenAsTheyStand) {
  EXPECT_EQ(run(kiv::tt_xcs, "{XCS 819|85}"), "&ldots;");
  EXPECT_EQ(run(kiv::tt_xcs, "{XCS 9998|A2}"), "'");
  EXPECT_EQ(run(kiv::tt_xcs, "{XCS 437|F8}"), "&degree;");
}

TEST_F(CharacterOutput, SubstituteIsDroppedOnlyWhenARowIsFound) {
  std::string rest;
  EXPECT_EQ(run(kiv::tt_xcs, "{XCS 437|82}e!", &rest), "&eacute;");
  EXPECT_EQ(rest, "!");
  EXPECT_EQ(run(kiv::tt_xcs, "{XCS 437|82}{BBT}!", &rest), "&eacute;");
  EXPECT_EQ(rest, "!");
  EXPECT_EQ(run(kiv::tt_xcs, "{XCS 437|41}A!", &rest), "");
  EXPECT_EQ(rest, "A!");
  EXPECT_EQ(rec.line_has_text, 1);
}

TEST_F(CharacterOutput, CharactersStartTheLineAndTheParagraph) {
  rec.para_start = 1;
  rec.line_start = 1;
  kiv::writer.GenPTags = 1;
  EXPECT_EQ(run(kiv::tt_ucs, "{UCS 82}"), "\r\n<P>\r\n&eacute;");
  EXPECT_EQ(rec.para_start, 0);
  EXPECT_EQ(rec.line_start, 0);
  EXPECT_EQ(rec.line_has_text, 1);
}

}  // namespace
