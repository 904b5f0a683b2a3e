// The string and number routines: radix conversion at the extremes, case-blind
// comparison and search, in-place changes, and the bounded copies.
#include "runtime/strings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "runtime/memory.h"

namespace {

TEST(Strings, NumbersInEveryRadix) {
  char out[80];
  const struct {
    long value;
    int radix;
    const char *text;
  } longs[] = {{0, 10, "0"},       {-42, 10, "-42"}, {255, 16, "ff"},      {35, 36, "z"},
               {5, 2, "101"},      {7, 99, "7"},     {LONG_MIN, 10, "-9223372036854775808"}};
  for (const auto &c : longs) EXPECT_STREQ(kiv::ltoa(c.value, out, c.radix), c.text) << c.value << " " << c.radix;
  EXPECT_STREQ(kiv::itoa(INT_MIN, out, 10), "-2147483648");
  EXPECT_STREQ(kiv::itoa(-1, out, 16), "ffffffff");  // outside radix 10: the 32-bit pattern
  EXPECT_STREQ(kiv::itoa(-1, out, 2), std::string(32, '1').c_str());
}

TEST(Strings, CaseBlindComparisonAndSearch) {
  EXPECT_EQ(kiv::stricmp("Times Roman", "TIMES roman"), 0);
  EXPECT_LT(kiv::stricmp("abc", "ABD"), 0);
  EXPECT_GT(kiv::stricmp("abc", "AB"), 0);
  EXPECT_EQ(kiv::strnicmp("abcX", "ABCy", 3), 0);
  EXPECT_NE(kiv::strnicmp("abcX", "ABCy", 4), 0);
  EXPECT_NE(kiv::stricmp("\xE9", "\xC9"), 0);  // only ASCII letters fold
  const char *text = "one Two three";
  EXPECT_EQ(kiv::strstri(text, "TWO"), text + 4);
  EXPECT_EQ(kiv::strstri(text, "threes"), nullptr);
  EXPECT_EQ(kiv::strstri(text, ""), text);
  EXPECT_EQ(kiv::yn_strcmpi("Yes please", "yES"), 1);
  EXPECT_EQ(kiv::yn_strcmpi("Ye", "yes"), 0);
  EXPECT_EQ(kiv::strncmp("ab\xFF", "ab\x01", 3), 0xFF - 0x01);  // bytes compare unsigned
  EXPECT_EQ(kiv::strncmp("abc", "abd", 2), 0);
  EXPECT_TRUE(kiv::starts_with_nocase("TFmore", "tf"));
  EXPECT_FALSE(kiv::starts_with_nocase("t", "tf"));
}

TEST(Strings, InPlaceChanges) {
  char word[] = "MiXed \xE9 1";
  EXPECT_STREQ(kiv::strlwr(word), "mixed \xE9 1");
  EXPECT_STREQ(kiv::strupr(word), "MIXED \xE9 1");
  EXPECT_EQ(kiv::to_up('q'), 'Q');
  EXPECT_EQ(kiv::to_up(0xE9), 0xE9);
  for (std::string s : {"", "a", "ab", "abc"}) {
    std::string reversed(s.rbegin(), s.rend());
    EXPECT_STREQ(kiv::reverse(s.data()), reversed.c_str());
    EXPECT_STREQ(kiv::kiv_strrev(s.data()), std::string(reversed.rbegin(), reversed.rend()).c_str());
  }
}

TEST(Strings, BoundedCopies) {
  char padded[6];
  std::memset(padded, '#', sizeof padded);
  kiv::strncpy(padded, "ab", 5);
  EXPECT_EQ(std::string(padded, 6), std::string("ab\0\0\0#", 6));  // padded to n, not past it
  kiv::strncpy(padded, "abcdefgh", 5);
  EXPECT_EQ(std::string(padded, 6), "abcde#");  // no terminator when the source fills n

  char small[4] = "xyz";
  kiv::copy_bounded(small, sizeof small, "abcdef");
  EXPECT_STREQ(small, "abc");
  kiv::copy_bounded(small, 1, "abc");
  EXPECT_STREQ(small, "");
  kiv::copy_bounded(small, 0, "q");  // no room at all: untouched
  EXPECT_STREQ(small, "");

  char *copy = kiv::new_string(std::string_view("abc", 2));
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "ab");
  kiv::KIVfree(copy);
}

}  // namespace
