// List numbering through the list tables' interface: a list with one level
// that starts at a given number, in a given format, gives that number as its
// first item's marker; instances of a list share its counters unless they
// restart a level.
#include <gtest/gtest.h>

#include <string>

#include "rtf_lists.h"

namespace {

// The marker of the next item of list instance ls at level 0, as text.
std::string marker_of(kiv::ListTables &tables, std::int32_t ls) {
  std::array<char32_t, kiv::rtf_marker_max> marker{};
  int len = -1;
  if (kiv::number_list_paragraph(tables, ls, 0, &marker, &len) == nullptr) return "(none)";
  std::string text;
  for (int k = 0; k < len; ++k) text += static_cast<char>(marker[static_cast<std::size_t>(k)]);
  return text;
}

// The marker of the first item of a one-level list in format, starting at start.
std::string first_marker(std::int32_t format, std::int32_t start) {
  kiv::ListTables tables;
  kiv::begin_list(tables);
  kiv::begin_list_level(tables);
  kiv::ListLevel *level = kiv::current_list_level(tables);
  level->format = format;
  level->start = start;
  kiv::add_level_text(tables, 1);  // one character follows: the number of level 0
  kiv::add_level_text(tables, 0);
  kiv::set_list_id(tables, 5, false);
  kiv::begin_list_override(tables);
  kiv::set_list_id(tables, 5, true);
  kiv::set_override_number(tables, 1);
  return marker_of(tables, 1);
}

struct FormatCase {
  std::int32_t format, start;
  const char *marker;
};

TEST(RtfLists, NumbersAreWrittenInTheLevelsFormat) {
  const FormatCase cases[] = {
      {kiv::nfc_decimal, 1, "1"},          {kiv::nfc_decimal, -3, "-3"},
      {kiv::nfc_upper_roman, 4, "IV"},     {kiv::nfc_lower_roman, 3999, "mmmcmxcix"},
      {kiv::nfc_upper_roman, 4000, "4000"}, {kiv::nfc_lower_roman, 0, "0"},
      {kiv::nfc_upper_letter, 1, "A"},     {kiv::nfc_upper_letter, 27, "AA"},
      {kiv::nfc_lower_letter, 53, "aaa"},  {kiv::nfc_lower_letter, 0, "0"},
      {kiv::nfc_ordinal, 1, "1st"},        {kiv::nfc_ordinal, 12, "12th"},
      {kiv::nfc_ordinal, 13, "13th"},      {kiv::nfc_ordinal, 22, "22nd"},
      {kiv::nfc_ordinal, 103, "103rd"},    {kiv::nfc_ordinal, 111, "111th"},
      {kiv::nfc_leading_zero, 7, "07"},    {kiv::nfc_leading_zero, 12, "12"},
      {kiv::nfc_none, 3, ""},              {kiv::nfc_bullet, 3, ""},
      {99, 8, "8"},  // a format the reader does not know: decimal
  };
  for (const FormatCase &c : cases) EXPECT_EQ(first_marker(c.format, c.start), c.marker) << c.format << " " << c.start;
}

TEST(RtfLists, InstancesShareCountersUnlessTheyRestart) {
  kiv::ListTables tables;
  kiv::begin_list(tables);
  kiv::begin_list_level(tables);
  kiv::set_list_id(tables, 9, false);
  for (const std::int32_t number : {1, 2, 3}) {
    kiv::begin_list_override(tables);
    kiv::set_list_id(tables, 9, true);
    kiv::set_override_number(tables, number);
  }
  kiv::begin_override_level(tables);  // instance 3 restarts level 0 at 1
  kiv::restart_override_level(tables);
  // A level without text shows its number and a full stop.
  EXPECT_EQ(marker_of(tables, 1), "1.");
  EXPECT_EQ(marker_of(tables, 2), "2.");
  EXPECT_EQ(marker_of(tables, 1), "3.");
  EXPECT_EQ(marker_of(tables, 3), "1.");
  EXPECT_EQ(marker_of(tables, 2), "4.");
  EXPECT_EQ(kiv::number_list_paragraph(tables, 7, 0, nullptr, nullptr), nullptr);
}

}  // namespace
