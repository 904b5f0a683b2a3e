// The byte-order helpers and the character width cache.
#include <gtest/gtest.h>

#include "objects/byte_order.h"
#include "objects/width_tables.h"
#include "runtime/memory.h"

namespace {

struct Int16Case {
  unsigned char bytes[2];
  int order;
  int signed_value;
  int unsigned_value;
};

TEST(ByteOrder, SixteenBitValuesInEitherOrder) {
  const Int16Case cases[] = {
      {{0xFF, 0x7F}, 0, 32767, 32767},
      {{0xFF, 0x7F}, 1, -129, 65407},
      {{0xFF, 0xFF}, 0, -1, 65535},
      {{0xFF, 0xFF}, 7, -1, 65535},  // any nonzero order is most significant first
      {{0x01, 0x80}, 0, -32767, 32769},
  };
  for (const Int16Case &c : cases) {
    EXPECT_EQ(kiv::PtrInt16(c.bytes, c.order), c.signed_value);
    EXPECT_EQ(kiv::PtrUInt16(c.bytes, c.order), c.unsigned_value);
    unsigned char back[2] = {};
    kiv::Int16Ptr(c.signed_value, back, c.order);
    EXPECT_EQ(back[0], c.bytes[0]);
    EXPECT_EQ(back[1], c.bytes[1]);
  }
}

TEST(ByteOrder, ThirtyTwoBitValuesRoundTrip) {
  unsigned char p[4];
  kiv::Int32Ptr(0x0501, p, 0);
  EXPECT_EQ(std::vector<unsigned char>(p, p + 4), (std::vector<unsigned char>{0x01, 0x05, 0x00, 0x00}));
  kiv::Int32Ptr(0x0501, p, 1);
  EXPECT_EQ(std::vector<unsigned char>(p, p + 4), (std::vector<unsigned char>{0x00, 0x00, 0x05, 0x01}));
  for (std::int32_t v : {0, -1, INT32_MIN, INT32_MAX, 0x12345678})
    for (int order : {0, 1}) {
      kiv::Int32Ptr(v, p, order);
      EXPECT_EQ(kiv::PtrInt32(p, order), v);
    }
}

class WidthTables : public testing::Test {
 protected:
  void SetUp() override { kiv::release_width_tables(); }
  void TearDown() override { kiv::release_width_tables(); }
};

struct FontCase {
  const char *name;
  int points;
  unsigned char character;
  int width;
};

TEST_F(WidthTables, FontClassesScaleTheirStockTable) {
  const FontCase cases[] = {
      {"Courier New", 10, 'i', 120},   // fixed pitch: 200 x 3 / 5
      {"Courier New", 10, 'W', 120},
      {"Arial", 12, 'A', 135},         // 144 x 135 / 144
      {"Arial", 12, ' ', 45},
      {"HELVETICA", 12, 'm', 165},     // the class search ignores case
      {"Garamond", 12, 'A', 135},      // serif table: 135
      {"Garamond", 12, ' ', 60},
      {"Garamond", 10, 'W', 162},      // 120 x 195 / 144
      {"MS LineDraw", 12, 'x', 144},
  };
  for (const FontCase &c : cases) {
    ASSERT_EQ(kiv::SetFont(c.name, c.points, 0), 0);
    EXPECT_EQ(kiv::CharWidth(c.character), c.width) << c.name << " " << c.character;
  }
}

TEST_F(WidthTables, NamesAreCachedExactlyAndTheCacheReplacesEntriesWhenFull) {
  kiv::SetFont("Helvetica", 12, 0);
  kiv::SetFont("HELVETICA", 12, 0);
  int named = 0;
  for (const auto &t : kiv::width_tables.FontTables) named += t.name != nullptr;
  EXPECT_EQ(named, 2);
  // Twenty fonts through a cache of fifteen: each stays correct when it comes back.
  for (int i = 0; i < 20; ++i) kiv::SetFont(i % 2 ? "Courier" : "Times", 8 + i, i);
  kiv::SetFont("Courier", 9, 1);
  EXPECT_EQ(kiv::CharWidth('A'), 9 * 20 * 3 / 5);
  kiv::SetFont("Helvetica", 12, 0);
  EXPECT_EQ(kiv::CharWidth('A'), 135);
}

// Without a font every character and string has the default width; a font's
// strings sum their characters; releasing the cache frees every block.
TEST_F(WidthTables, DefaultWidthsStringsAndRelease) {
  const auto width = [](const char *text) { return kiv::StrWidth(reinterpret_cast<const unsigned char *>(text)); };
  const std::size_t before = kiv::live_block_count();
  EXPECT_EQ(kiv::CharWidth('A'), 120);
  EXPECT_EQ(width(""), 120);
  EXPECT_EQ(width("long text"), 120);
  kiv::SetFont("Arial", 12, 0);
  EXPECT_EQ(width(""), 0);
  EXPECT_EQ(width("A A"), 135 + 45 + 135);
  EXPECT_GT(kiv::live_block_count(), before);
  kiv::release_width_tables();
  EXPECT_EQ(kiv::live_block_count(), before);
  EXPECT_EQ(kiv::CharWidth('A'), 120);
}

}  // namespace
