// The writer's output primitives: line ends around texts, nested redirection
// and the format stack; string parameters and a summary read inside a note
// stand in links.case and notes.case.
#include "html/output.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "html/output_redirect.h"
#include "html/writer.h"
#include "stream/buffered_io.h"
#include "stream/temp_buffers.h"
#include "support/fake_host.h"
#include "support/stream_fixture.h"

namespace {

class Output : public test_support::StreamFixture {};

TEST_F(Output, TextsStartOnFreshLinesOnlyWhenNeeded) {
  open_streams("");
  kiv::put_str("<A>", kiv::on_fresh_line);  // the very first output: a line end first
  kiv::put_str("<B>", kiv::own_line);       // right after a line end: no empty line
  kiv::put_str("x");
  kiv::put_str("<C>", kiv::own_line);
  kiv::put_num(-42);
  EXPECT_EQ(close_streams(), "\r\n<A>\r\n<B>\r\nx\r\n<C>\r\n-42");
}

#ifndef NDEBUG
TEST_F(Output, AMarkupPieceStopsAtItsRoom) {
  open_streams("");
  kiv::MarkupPiece piece;
  const std::string half(kiv::MarkupPiece::room / 2, 'x');
  piece.add(half);
  piece.add(half);  // full, not past it
  EXPECT_DEATH(piece.add("y"), "room");
  piece.write();
  EXPECT_EQ(close_streams(), half + half);
}
#endif

TEST_F(Output, RedirectionsNestAndReturnToTheFile) {
  open_streams("");
  const int outer = kiv::bufinit(100);
  const int inner = kiv::bufinit(100);
  kiv::put_str("file ");
  ASSERT_EQ(kiv::io_set(outer), 0);
  kiv::put_str("one");
  ASSERT_EQ(kiv::io_set(inner), 0);
  kiv::put_str("two!");
  EXPECT_EQ(kiv::b_unput(), '!');
  int handle = -1, count = -1;
  kiv::io_restore(&handle, &count);
  EXPECT_EQ(handle, inner);
  EXPECT_EQ(count, 3);
  kiv::put_str("three");
  kiv::io_restore(&handle, &count);
  EXPECT_EQ(count, 8);
  EXPECT_EQ(kiv::IsRedir(), 0);
  EXPECT_EQ(kiv::io_restore(&handle, &count), -1);
  kiv::put_str("end");
  unsigned char bytes[16] = {};
  EXPECT_EQ(kiv::bufgets(inner, bytes, 16), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(bytes), 3), "two");
  EXPECT_EQ(kiv::bufgets(outer, bytes, 16), 8);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(bytes), 8), "onethree");
  EXPECT_EQ(close_streams(), "file end");
}

TEST_F(Output, FormatStackRestoresInOrder) {
  kiv::fmt_info record{};
  kiv::tt_set_defaults(&record);
  record.align = 2;
  ASSERT_EQ(kiv::tran_push_fmt(&record), 0);
  kiv::init_fmt(&record);
  record.align = 3;
  ASSERT_EQ(kiv::tran_push_fmt(&record), 0);
  record.align = 1;
  EXPECT_EQ(kiv::tran_get_last_fmt_info()->align, 3);
  kiv::tran_pop_fmt(&record);
  EXPECT_EQ(record.align, 3);
  kiv::tran_pop_fmt(&record);
  EXPECT_EQ(record.align, 2);
  EXPECT_EQ(kiv::tran_get_last_fmt_info(), nullptr);
  kiv::tran_pop_fmt(&record);  // an empty stack leaves the record alone
  EXPECT_EQ(record.align, 2);
}

}  // namespace
