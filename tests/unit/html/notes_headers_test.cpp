// Roman numerals against an independent computation; many notes in constant
// memory with no spill file left.
#include "html/notes_headers.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "support/fake_host.h"
#include "support/temp_dir.h"

namespace {

// Roman numerals by greedy subtraction of the symbol values (with the
// subtractive pairs), the way one writes them by hand. Q is 5000, W 10000,
// Y 50000; only the five lowest decimal digits are written.
std::string greedy_roman(std::uint32_t value) {
  static constexpr std::pair<std::uint32_t, std::string_view> steps[] = {
      {50000, "Y"}, {40000, "WY"}, {10000, "W"}, {9000, "MW"}, {5000, "Q"}, {4000, "MQ"}, {1000, "M"},
      {900, "CM"},  {500, "D"},    {400, "CD"},  {100, "C"},   {90, "XC"},  {50, "L"},    {40, "XL"},
      {10, "X"},    {9, "IX"},     {5, "V"},     {4, "IV"},    {1, "I"}};
  std::uint32_t rest = value % 100000;
  std::string out;
  if (rest >= 90000) {
    out = "YWWWW";  // no symbol for a hundred thousand: nine ten-thousands are additive
    rest -= 90000;
  }
  for (const auto &[amount, symbols] : steps)
    while (rest >= amount) {
      out += symbols;
      rest -= amount;
    }
  return out;
}

std::string lower(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

std::string roman_of(std::uint32_t value, bool lower_case) {
  std::array<char, kiv::roman_text_size + 1> text;
  text.fill('#');
  const std::size_t n = kiv::kivToRoman(value, std::span<char>(text.data(), kiv::roman_text_size), lower_case);
  EXPECT_EQ(text[kiv::roman_text_size], '#') << value << ": wrote past its text";
  EXPECT_EQ(text[n], '\0') << value;
  return std::string(text.data(), n);
}

TEST(RomanNumerals, EveryFiveDigitValueAgreesWithHandWrittenNumerals) {
  for (std::uint32_t value = 0; value < 100000; ++value) {
    const std::string expected = greedy_roman(value);
    ASSERT_EQ(roman_of(value, false), expected) << value;
    if (value % 97 == 0) {
      ASSERT_EQ(roman_of(value, true), lower(expected)) << value;
    }
  }
}

TEST(RomanNumerals, KnownValuesAndDigitsAboveTenThousands) {
  EXPECT_EQ(roman_of(0, false), "");
  EXPECT_EQ(roman_of(4, false), "IV");
  EXPECT_EQ(roman_of(9, true), "ix");
  EXPECT_EQ(roman_of(1994, false), "MCMXCIV");
  EXPECT_EQ(roman_of(4000, false), "MQ");
  EXPECT_EQ(roman_of(12345, false), "WMMCCCXLV");
  EXPECT_EQ(roman_of(99999, false), "YWWWWMWCMXCIX");
  for (std::uint32_t value : {100000u, 123456u, 4294967295u, 2147483648u})
    EXPECT_EQ(roman_of(value, false), greedy_roman(value)) << value;
}

TEST(RomanNumerals, AShortTextGetsTheStartOfTheNumeral) {
  std::array<char, 8> text;
  text.fill('#');
  EXPECT_EQ(kiv::kivToRoman(1994, std::span<char>(text.data(), 4), false), 3u);
  EXPECT_EQ(std::string(text.data()), "MCM");
  EXPECT_EQ(std::string_view(text.data() + 4, 4), "####");
  EXPECT_EQ(kiv::kivToRoman(1994, std::span<char>(text.data(), 1), false), 0u);
  EXPECT_EQ(text[0], '\0');
}

test_support::ConversionSettings level3() {
  test_support::ConversionSettings settings;
  settings.levels = "2";
  settings.options = {"CMD=TITLE=t"};
  return settings;
}

// 100000 footnotes and 10000 headers: the buffers spill to disk, the
// conversion's memory does not grow with the number of notes, and no spill
// file is left behind.
TEST(SubDocuments, ManyNotesConvertInConstantMemory) {
  const std::string footnote = test_support::assemble("{FTN 1|}note text{EFN}");
  const std::string header = test_support::assemble("{HF2}page head{HFX}");
  const auto peak_for = [&](int notes, std::size_t &html_size) {
    std::string stream;
    stream.reserve(static_cast<std::size_t>(notes) * 30);
    for (int i = 0; i < notes; ++i) {
      stream += "word ";
      stream += footnote;
      if (i % 10 == 0) stream += header;
    }
    test_support::TempDir dir;
    auto settings = level3();
    settings.host_allocator = true;
    const auto result = test_support::convert_bytes(dir.path().string(), stream, settings);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(test_support::blocks_outstanding(), 0);
    for (const std::string &name : dir.listing()) EXPECT_NE(name.rfind("KV", 0), 0u) << name << " left behind";
    html_size = result.html.size();
    EXPECT_NE(result.html.find("<A NAME=\"FNT" + std::to_string(notes - 1) + "\">"), std::string::npos);
    return test_support::peak_blocks_outstanding();
  };
  std::size_t small_size = 0;
  std::size_t large_size = 0;
  // Ten times fewer notes still fill both buffers past their memory.
  const long small_peak = peak_for(10000, small_size);
  const long large_peak = peak_for(100000, large_size);
  // Megabytes of notes went through buffers of 30000 bytes, so they spilled.
  EXPECT_GT(small_size, 30000u * 10u);
  EXPECT_GT(large_size, 30000u * 100u);
  // A spill file's name is held while the file exists; how many of the four
  // note buffers have one at the same moment depends on where the spill
  // boundaries fall, so the peak may differ by those names, never by more.
  EXPECT_LE(large_peak, small_peak + 4);
}

}  // namespace
