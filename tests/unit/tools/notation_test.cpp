// The stream notation round-trips every byte sequence, in pieces of any size.
// (What icfasm and icfdump make of chosen texts is in the command cases.)
#include "stream_notation.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(Notation, EveryByteSequenceRoundTrips) {
  std::mt19937 random(12345);
  // Alphabets weighted towards the control bytes, so codes and near-codes are common.
  const std::string specials = std::string("\x1b\x1d\x1e\x1f{|}\\ \n\r\tAZ09", 17);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(random() % 64, '\0');
    for (char &c : bytes) c = random() % 3 ? specials[random() % specials.size()] : static_cast<char>(random() % 256);
    std::string back, error;
    ASSERT_TRUE(notation::from_notation(notation::to_notation(bytes), back, error)) << error;
    ASSERT_EQ(back, bytes) << notation::to_notation(bytes);
  }
  for (int c = 0; c < 256; ++c) {
    const std::string one(1, static_cast<char>(c));
    std::string back, error;
    ASSERT_TRUE(notation::from_notation(notation::to_notation(one), back, error));
    EXPECT_EQ(back, one) << c;
  }
}

// Pieces of any size translate to the same result as the whole, including
// pieces that end inside a code name, an escape or the space after a name.
TEST(Notation, PiecesTranslateAsTheWhole) {
  const std::string bytes = std::string("a\x1b\x1dSPF 1\x1f\x1e\x1b\x1dTAB\x1e\x1b\x1d" "BB") + "\n{x}\\\xE9";
  const std::string text = notation::to_notation(bytes);
  for (std::size_t size = 1; size <= 8; ++size) {
    std::string dumped;
    notation::Dumper dumper;
    for (std::size_t at = 0; at < bytes.size(); at += size) dumper.feed(std::string_view(bytes).substr(at, size), dumped);
    dumper.finish(dumped);
    EXPECT_EQ(dumped, text) << "pieces of " << size;

    std::string assembled, error;
    notation::Assembler assembler;
    for (std::size_t at = 0; at < text.size(); at += size)
      ASSERT_TRUE(assembler.feed(std::string_view(text).substr(at, size), assembled, error)) << error;
    ASSERT_TRUE(assembler.finish(assembled, error)) << error;
    EXPECT_EQ(assembled, bytes) << "pieces of " << size;
  }
}

// An error in a later piece still names its line; a notation cut inside an
// escape is refused only at its end.
TEST(Notation, PiecewiseErrorsNameTheirLine) {
  std::string bytes, error;
  notation::Assembler assembler;
  EXPECT_TRUE(assembler.feed("one\ntwo\n", bytes, error));
  EXPECT_TRUE(assembler.feed("three \\x4", bytes, error));
  EXPECT_FALSE(assembler.finish(bytes, error));
  EXPECT_EQ(error, "line 3: \\x needs two hexadecimal digits");
}

}  // namespace
