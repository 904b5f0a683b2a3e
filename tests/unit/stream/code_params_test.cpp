// The parameter readers, over a table of inputs.
#include "stream/code_params.h"

#include <gtest/gtest.h>

#include <array>

#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "support/stream_fixture.h"

namespace {

using Reader = std::int32_t (*)();

struct ParamCase {
  const char *label;
  Reader reader;
  std::string input;
  std::int32_t value;
  std::string left;  // what the source still holds afterwards
};

// Test names carry the label; the value itself is not printed.
void PrintTo(const ParamCase &p, std::ostream *os) { *os << p.label; }

class ParamReaders : public test_support::StreamFixture, public testing::WithParamInterface<ParamCase> {};
class ParamReadersAcrossWindows : public test_support::StreamFixture {};

TEST_P(ParamReaders, ReadValueAndLeaveTheRest) {
  const ParamCase &p = GetParam();
  open_streams(p.input);
  EXPECT_EQ(p.reader(), p.value);
  EXPECT_EQ(read_rest(), p.left);
}

const std::string US = "\x1f", RS = "\x1e";

INSTANTIATE_TEST_SUITE_P(
    Table, ParamReaders,
    testing::Values(
        ParamCase{"dec_digits", kiv::get_dec, "12" + US + "x", 12, "x"},
        ParamCase{"dec_empty", kiv::get_dec, US + "x", 0, "x"},
        ParamCase{"dec_rs_alone", kiv::get_dec, RS, -1, RS},
        ParamCase{"dec_zero_rs", kiv::get_dec, "0" + RS, 0, RS},
        ParamCase{"dec_sign_ignored", kiv::get_dec, "-5" + US, 5, ""},
        ParamCase{"dec_end_of_input", kiv::get_dec, "7", 7, ""},
        ParamCase{"dec_end_zero", kiv::get_dec, "0", -1, ""},
        ParamCase{"long_zero_rs", kiv::get_long, "0" + RS, -1, RS},
        ParamCase{"long_big", kiv::get_long, "4000000000" + US, static_cast<std::int32_t>(4000000000u), ""},
        ParamCase{"hex_mixed", kiv::get_hex, "1A" + US, 26, ""},
        ParamCase{"hex_ignores_others", kiv::get_hex, "zz1" + US, 1, ""},
        ParamCase{"hex_zero_us", kiv::get_hex, "0" + US, 0, ""},
        ParamCase{"hex_zero_rs", kiv::get_hex, "0" + RS, -1, RS},
        ParamCase{"hex8_pair", kiv::GetHex8, "4F" + US, 0x4F, US},
        ParamCase{"hex8_single", kiv::GetHex8, "7" + US, 7, ""},
        ParamCase{"hex8_none", kiv::GetHex8, US, -1, ""},
        ParamCase{"hex8_rs", kiv::GetHex8, RS, -1, RS},
        ParamCase{"hex8_run", kiv::GetHex8, "0A0B", 0x0A, "0B"},
        ParamCase{"byte_last", kiv::b_get1b, "xyz" + US, 'z', ""},
        ParamCase{"byte_nested_code", kiv::b_get1b, "a\x1b\x1dTAB\x1e" + US, '.', ""},
        ParamCase{"byte_rs", kiv::b_get1b, "a" + RS, -1, RS}),
    [](const testing::TestParamInfo<ParamCase> &info) { return std::string(info.param.label); });

// Parameters are read in the source window when they lie whole in it, byte by
// byte otherwise: windows of every small size cut them everywhere, and the
// readers must give the same values and leave the same rest.
TEST_F(ParamReadersAcrossWindows, SameValuesWhereverTheWindowEnds) {
  const std::string stream =
      "1234" + US + "x7" + US + "FF" + US + "q" + RS + "9" + RS + "a\x1b\x1d" "BBT" + RS + "b" + RS + "tail";
  for (const int limit : {-1, 1, 2, 3, 4, 5, 7, 11}) {
    SCOPED_TRACE(limit);
    open_streams(stream, limit);
    EXPECT_EQ(kiv::get_dec(), 1234);
    EXPECT_EQ(kiv::get_dec(), 7);
    EXPECT_EQ(kiv::get_hex(), 0xFF);
    EXPECT_EQ(kiv::get_dec(), -1);  // "q" has no digit; the RS stays
    kiv::x_icf2();
    EXPECT_EQ(kiv::get_hex(), 9);
    kiv::x_icf2();
    kiv::x_icf();  // the nested code's RS does not end the skip
    EXPECT_EQ(read_rest(), "tail");
    close_streams();
  }
}

TEST_F(ParamReadersAcrossWindows, ARunOfDecimalsReadsAsOneByOne) {
  // A sign, an empty parameter and the code's end inside the run: what follows
  // the RS reads as missing, and the RS stays.
  // One-digit parameters, read in one step, fall at every place of a window.
  const std::string stream = "12" + US + "7" + US + "-3" + US + US + "4x5" + US + "0" + US + "9" + US + "60" + RS + "rest";
  for (const int limit : {-1, 1, 2, 3, 4, 5, 6}) {
    SCOPED_TRACE(limit);
    open_streams(stream, limit);
    std::array<std::int32_t, 10> values{};
    kiv::get_decs(values.data(), 10);
    EXPECT_EQ(values, (std::array<std::int32_t, 10>{12, 7, 3, 0, 45, 0, 9, 60, -1, -1}));
    EXPECT_EQ(read_rest(), RS + "rest");
    close_streams();
  }
}

}  // namespace
