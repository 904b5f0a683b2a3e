// Code names, skipping, lookahead and the code writers.
#include "stream/code_numbers.h"

#include <gtest/gtest.h>

#include "html/code_table.h"
#include "stream/buffered_io.h"
#include "support/fake_host.h"
#include "support/stream_fixture.h"

namespace {

using test_support::assemble;

TEST(CodeNumbers, PackingMatchesKnownNumbersAndTheCompileTimeTwin) {
  struct Row { const char *name; kiv::IcfCode number; };
  for (const Row &row : {Row{"DID", 4388}, Row{"HF1", 28872}, Row{"TAB", 2100}, Row{"NOP", 16878},
                         Row{"BBT", 20546}, Row{"XRF", 6744}}) {
    EXPECT_EQ(kiv::StrToIcfCode(row.name), row.number) << row.name;
    EXPECT_STREQ(kiv::IcfCodeToStr(row.number), row.name);
  }
  // Every row of the writer's table was packed at compile time; the run-time
  // packing of its name must give the same number.
  for (const auto &row : kiv::tran_table) {
    const std::string name = kiv::IcfCodeToStr(row.code);
    EXPECT_EQ(kiv::StrToIcfCode(name.c_str()), row.code) << name;
  }
  // A third character outside the code alphabet packs as index 37.
  EXPECT_EQ(kiv::StrToIcfCode("AB%") >> 10, 37);
}

TEST(CodeNumbers, NameRingIsReusedAfterSixteenCalls) {
  const char *first = kiv::IcfCodeToStr(2100);
  for (int i = 0; i < 15; ++i) EXPECT_NE(kiv::IcfCodeToStr(28872), first);
  const char *seventeenth = kiv::IcfCodeToStr(4388);
  EXPECT_EQ(seventeenth, first);
  EXPECT_STREQ(first, "DID");
}

class CodeStreamTest : public test_support::StreamFixture {};

// Skipping, lookahead and the leading source code: the answer of each call and
// the bytes it leaves to read.
struct ReadCase {
  const char *label;
  std::string stream;
  int (*call)();
  int answer;
  std::string left;
  std::int32_t source = 0;  // the source code recorded
};

TEST_F(CodeStreamTest, CallsLeaveTheRightBytes) {
  const std::string code_inside = std::string("A\x1b\x1dXYZ\x1e" "B\x1e" "D", 10);
  const std::string tab_at_25 = std::string(25, 'x') + assemble("{TAB}") + std::string(40, 'y');
  const ReadCase cases[] = {
      {"skipping counts nesting", code_inside, [] { return kiv::x_icf(), 0; }, 0, "D"},
      {"skipping without nesting", code_inside, [] { return kiv::x_icf2(), 0; }, 0, "B\x1e" "D"},
      {"testing for the code there", assemble("{TAB}rest"), [] { return kiv::tst_icf(2100); }, 0, assemble("{TAB}rest")},
      {"testing for another code", assemble("{TAB}rest"), [] { return kiv::tst_icf(28872); }, -1, assemble("{TAB}rest")},
      {"finding past text", tab_at_25, [] { return kiv::find_icf(2100); }, 0, tab_at_25},
      {"finding nothing in 30 bytes", std::string(40, 'q'), [] { return kiv::find_icf(2100); }, -1, std::string(40, 'q')},
      {"finding nothing before the end", "ab", [] { return kiv::find_icf(2100); }, -1, "ab"},
      {"another leading code", assemble("{TAB}text"), [] { return kiv::chk_icf(), 0; }, 0, assemble("{TAB}text")},
      {"a leading source code", assemble("{DID 12|7|}text"), [] { return kiv::chk_icf(), 0; }, 0, "text", 12},
  };
  for (const ReadCase &c : cases) {
    open_streams(c.stream);
    EXPECT_EQ(c.call(), c.answer) << c.label;
    EXPECT_EQ(read_rest(), c.left) << c.label;
    EXPECT_EQ(kiv::code_names.src_wp, c.source) << c.label;
    close_streams();
  }
}

TEST_F(CodeStreamTest, WritersProduceTheDocumentedBytes) {
  open_streams("");
  kiv::beg_icf(kiv::code("SPF"));
  kiv::dec_out(0);
  kiv::dec_out(70000);        // only the low 16 bits: 4464
  kiv::long_out(4294967295u);
  kiv::hex_out(0x1AB, 0);     // two digits, no terminator
  kiv::HexOut8(0x0F);
  kiv::HexOut16(0xBEEF);
  kiv::DecOutNoTerm(42);
  kiv::end_icf();
  kiv::out_icf(kiv::code("TAB"));
  EXPECT_EQ(close_streams(), std::string("\x1b\x1dSPF0\x1f" "4464\x1f" "4294967295\x1f" "AB0F\x1f" "BEEF\x1f" "42\x1e"
                                         "\x1b\x1dTAB\x1e"));
}

// Numbers and codes are written in short pieces straight into the target
// buffer where it has room; those that reach its end go the careful way.
// Every byte arrives in order whichever way it took.
TEST_F(CodeStreamTest, WrittenPiecesCrossTheTargetBuffersEnd) {
  open_streams("");
  std::string expected;
  for (std::uint32_t n = 0; n < 10000; ++n) {
    const std::uint32_t value = n * 2654435761u >> (n % 32);  // one to ten digits
    kiv::long_out(value);
    kiv::out_icf(kiv::code("TAB"));
    expected += std::to_string(value) + "\x1f" + "\x1b\x1dTAB\x1e";
  }
  EXPECT_EQ(close_streams(), expected);
}

}  // namespace
