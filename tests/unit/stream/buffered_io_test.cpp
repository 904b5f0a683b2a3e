// The buffered reader and writer: windows, the end of input, push-back with
// overflow, take-back across written buffers, redirection.
#include "stream/buffered_io.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "runtime/error_exit.h"
#include "runtime/file_layer.h"
#include "runtime/options.h"
#include "runtime/progress.h"
#include "support/byte_sinks.h"
#include "support/stream_fixture.h"

namespace {

class BufferedIo : public test_support::StreamFixture {};

std::string pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 23);
  return s;
}

using test_support::keep_byte;

std::string redirected, ungot, copied_get, copied_unget;
const char *feed = nullptr;
int get_fed() { return *feed ? static_cast<unsigned char>(*feed++) : -1; }

// Printable ASCII but '<' is copied as plain runs.
constexpr kiv::RunBytes printable = kiv::run_bytes(' ', '~', {'<', '<', '<'});

TEST_F(BufferedIo, SourcesOfWholeWindowsReturnEveryByteOnce) {
  for (std::size_t size : {std::size_t{50000}, std::size_t{100000}, std::size_t{0}, std::size_t{1}}) {
    open_streams(pattern(size));
    EXPECT_EQ(read_rest(), pattern(size)) << size;
    EXPECT_EQ(kiv::b_getc(), -1);
    close_streams();
  }
}

TEST_F(BufferedIo, ReadingOnPastTheEndBecomesAWarningAtTheTwentyFifthCall) {
  open_streams("x");
  EXPECT_EQ(kiv::b_getc(), 'x');
  for (int i = 0; i < 24; ++i) EXPECT_EQ(kiv::b_getc(), -1);
  EXPECT_EQ(kiv::errors.w_err, 0);
  EXPECT_EQ(kiv::b_getc(), -1);
  EXPECT_EQ(kiv::errors.w_err, 1);
  EXPECT_EQ(kiv::errors.last_err, kiv::exit_read_past_end);
}

TEST_F(BufferedIo, PushBackBeyondTheStackOverflowsIntoATemporaryBuffer) {
  open_streams("tail");
  const std::string pushed = pattern(1500);
  for (char c : pushed) kiv::b_unget(static_cast<unsigned char>(c));
  std::string expected(pushed.rbegin(), pushed.rend());
  EXPECT_EQ(read_rest(), expected + "tail");
}

TEST_F(BufferedIo, PushedBackEndOfInputReadsAsByteFFAndNothingIsTakenBackAtFirst) {
  open_streams("");
  EXPECT_EQ(kiv::b_unput(), -1);
  kiv::b_unget(-1);
  EXPECT_EQ(kiv::b_getc(), 0xFF);
}

TEST_F(BufferedIo, TakeBackReReadsBlocksAlreadyWritten) {
  open_streams("", 4096);
  const std::string written = pattern(10000);
  for (char c : written) kiv::b_putc(static_cast<unsigned char>(c));
  std::string taken;
  for (int i = 0; i < 9000; ++i) taken += static_cast<char>(kiv::b_unput());
  EXPECT_EQ(taken, std::string(written.rbegin(), written.rbegin() + 9000));
  kiv::b_putc('!');
  EXPECT_EQ(close_streams(), written.substr(0, 1000) + "!");
}

TEST_F(BufferedIo, StretchesOfAFileFollowWhatTheBuffersHoldAndCanBeTakenBack) {
  const std::string file_bytes = pattern(20000);
  const std::string file_name = (dir.path() / "stretch").string();
  {
    const int h = kiv::KIVopen(file_name.c_str(), kiv::open_create, kiv::kind_plain);
    ASSERT_EQ(kiv::KIVwrite(h, file_bytes.data(), static_cast<int>(file_bytes.size())), 20000);
    kiv::KIVclose(h);
  }
  const int h = kiv::KIVopen(file_name.c_str(), kiv::open_read, kiv::kind_plain);
  open_streams("", 4096);
  const std::string before = "head:" + pattern(5000);
  kiv::b_putn(reinterpret_cast<const unsigned char *>(before.data()), static_cast<long>(before.size()));
  EXPECT_EQ(kiv::b_putfile(h, 100, 4095), 0);  // shorter than a buffer: left to the caller
  ASSERT_EQ(kiv::b_putfile(h, 100, 9000), 9000);
  EXPECT_EQ(kiv::BytesWritten(), static_cast<long>(before.size()) + 9000);
  EXPECT_EQ(kiv::KIVlseek(h, 0, 1), 0);  // the file's own position stays
  std::string taken;
  for (int i = 0; i < 5000; ++i) taken += static_cast<char>(kiv::b_unput());
  const std::string all = before + file_bytes.substr(100, 9000);
  EXPECT_EQ(taken, std::string(all.rbegin(), all.rbegin() + 5000));
  kiv::b_putc('!');
  kiv::RedirectOutput(keep_byte<&redirected>, nullptr);
  EXPECT_EQ(kiv::b_putfile(h, 0, 9000), 0);  // redirected output takes no file stretches
  kiv::RedirectOutputClose();
  kiv::KIVclose(h);
  EXPECT_EQ(close_streams(), all.substr(0, all.size() - 5000) + "!");
}

TEST_F(BufferedIo, RedirectedOutputBypassesTheTarget) {
  open_streams("");
  redirected.clear();
  kiv::b_putc('a');
  kiv::RedirectOutput(keep_byte<&redirected>, test_support::take_back_byte<&redirected>);
  kiv::b_putc('b');
  kiv::b_putc('c');
  EXPECT_EQ(kiv::b_unput(), 'c');
  kiv::RedirectOutputClose();
  kiv::b_putc('d');
  EXPECT_EQ(redirected, "b");
  EXPECT_EQ(close_streams(), "ad");
}

std::vector<std::string> runs;
int put_run(const unsigned char *bytes, long n) {
  runs.emplace_back(reinterpret_cast<const char *>(bytes), static_cast<std::size_t>(n));
  return 0;
}

TEST_F(BufferedIo, RedirectedRunsAreGatheredAndHandedOnInOrder) {
  open_streams("plain text<");
  redirected = "old";
  runs.clear();
  kiv::RedirectOutput(keep_byte<&redirected>, test_support::take_back_byte<&redirected>);
  kiv::RedirectOutputRuns(put_run);
  kiv::b_putc('a');
  kiv::b_putn(reinterpret_cast<const unsigned char *>("bc"), 2);
  kiv::progress.DispDotSize = 1000;
  EXPECT_EQ(kiv::b_copy_run(printable), 10);
  EXPECT_EQ(kiv::b_last_put(), 't');
  EXPECT_EQ(kiv::b_unput(), 't');  // taken back before it was handed on
  EXPECT_TRUE(runs.empty());
  kiv::FlushRedirectedOutput();
  ASSERT_EQ(runs, std::vector<std::string>{"abcplain tex"});
  EXPECT_EQ(kiv::b_last_put(), kiv::not_in_memory);
  EXPECT_EQ(kiv::b_unput(), 'd');  // nothing gathered: the sink's own take-back
  // A stretch longer than the gathering stage follows what was gathered, whole.
  kiv::b_putc('x');
  const std::string long_run = pattern(kiv::redirect_gather_size + 1);
  kiv::b_putn(reinterpret_cast<const unsigned char *>(long_run.data()), static_cast<long>(long_run.size()));
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[1], "x");
  EXPECT_EQ(runs[2], long_run);
  kiv::b_putc('y');
  kiv::DropRedirectedOutput();
  kiv::b_putc('z');
  kiv::RedirectOutputClose();
  EXPECT_EQ(runs.back(), "z");
  EXPECT_EQ(redirected, "ol");  // put went unused; unput took one byte
  EXPECT_EQ(kiv::BytesWritten(), 0);
  EXPECT_EQ(close_streams(), "");
}

TEST_F(BufferedIo, LastByteWrittenIsSeenWithoutTakingItBack) {
  open_streams("", 4);
  EXPECT_EQ(kiv::b_last_put(), -1);
  for (char c : std::string("abc")) kiv::b_putc(c);
  EXPECT_EQ(kiv::b_last_put(), 'c');
  kiv::b_putc('d');  // fills the buffer: the next one is empty
  EXPECT_EQ(kiv::b_last_put(), kiv::not_in_memory);
  EXPECT_EQ(kiv::b_unput(), 'd');
  EXPECT_EQ(kiv::b_last_put(), 'c');
  EXPECT_EQ(close_streams(), "abc");
}

TEST_F(BufferedIo, FastReadsStopAtPushBackWindowEndsAndProgressSteps) {
  for (int limit : {1, 2, 17, -1}) {
    kiv::progress.DispDotSize = 7;
    kiv::progress.CurrentPercent = 0;  // steps that show on a display
    kiv::settings.optflags = 0;
    open_streams(pattern(300), limit);
    std::string got;
    for (int i = 0; i < 300; ++i) {
      const int c = kiv::b_getc();
      ASSERT_NE(c, -1) << limit;
      got += static_cast<char>(c);
      // A step is taken when the count reaches the step size: it never stays there.
      ASSERT_LT(kiv::progress.DispCurrentCount, kiv::progress.DispDotSize) << limit;
      if (i % 50 == 10) {
        kiv::b_unget('#');
        EXPECT_EQ(kiv::b_getc(), '#') << limit;
      }
    }
    EXPECT_EQ(got, pattern(300)) << limit;
    EXPECT_EQ(kiv::b_getc(), -1) << limit;
    EXPECT_EQ(kiv::BytesRead(), 307) << limit;  // every call counts, the pushed-back bytes too
    close_streams();
  }
}

// A source of unknown size (a pipe) has a progress step at every byte; while
// no display shows the steps, reading still takes the fast path.
TEST_F(BufferedIo, StepsThatDoNotShowLeaveTheFastPathOpen) {
  for (const bool full : {false, true}) {
    kiv::progress.DispDotSize = 1;
    kiv::progress.CurrentPercent = full ? 100 : 0;
    kiv::settings.optflags = full ? 0u : std::uint32_t{kiv::opt_no_progress};
    open_streams(pattern(300));
    EXPECT_EQ(kiv::b_getc(), 'a');
    EXPECT_GT(kiv::bio.in_fast_end - kiv::bio.in_ptr, 200) << full;
    EXPECT_EQ(read_rest(), pattern(300).substr(1)) << full;
    close_streams();
  }
  kiv::settings.optflags = 0;
  kiv::progress.CurrentPercent = 0;
}

TEST_F(BufferedIo, RedirectModeTwoTakesEveryByteFromTheCallback) {
  open_streams("file");
  kiv::b_unget('p');  // pushed back before the redirection began
  feed = "xy";
  ungot.clear();
  kiv::RedirectGetUnget(get_fed, keep_byte<&ungot>);
  EXPECT_EQ(kiv::b_getc(), 'x');
  kiv::b_unget('q');
  EXPECT_EQ(ungot, "q");
  EXPECT_EQ(kiv::b_getc(), 'y');
  EXPECT_EQ(kiv::b_getc(), -1);
  kiv::RedirectInputClose();
}

TEST_F(BufferedIo, CopyingSeesEveryByteReadAndPushedBackButNotTheEnd) {
  open_streams("abc");
  copied_get.clear();
  copied_unget.clear();
  kiv::CopyGetUnget(keep_byte<&copied_get>, keep_byte<&copied_unget>);
  EXPECT_EQ(kiv::b_getc(), 'a');
  kiv::b_unget('a');
  EXPECT_EQ(read_rest(), "abc");
  EXPECT_EQ(copied_get, "aabc");
  EXPECT_EQ(copied_unget, "a");
  kiv::CopyGetUngetClose();
  kiv::b_unget('z');
  EXPECT_EQ(kiv::b_getc(), 'z');
  EXPECT_EQ(copied_get, "aabc");
  EXPECT_EQ(copied_unget, "a");
}

TEST_F(BufferedIo, QGetcIgnoresRedirectionAndCopyingButNotPushBack) {
  open_streams("ab");
  feed = "x";
  copied_get.clear();
  kiv::RedirectInput(get_fed);
  kiv::CopyGetUnget(keep_byte<&copied_get>, keep_byte<&copied_unget>);
  EXPECT_EQ(kiv::qGetc(), 'a');
  kiv::b_unget('p');
  EXPECT_EQ(kiv::qGetc(), 'p');
  EXPECT_EQ(kiv::b_getc(), 'x');  // b_getc follows the redirection
  EXPECT_EQ(kiv::qGetc(), 'b');
  EXPECT_EQ(kiv::qGetc(), -1);
  EXPECT_EQ(copied_get, "x");
  kiv::CopyGetUngetClose();
  kiv::RedirectInputClose();
}

TEST_F(BufferedIo, SetBGetPositionMovesInAnyWindowAndClearsPushBackOnlyWhenAsked) {
  const std::string source = pattern(120000);
  open_streams(source);
  kiv::SetBGetPosition(70000, 1);  // beyond the first window
  EXPECT_EQ(kiv::b_getc(), static_cast<unsigned char>(source[70000]));
  kiv::b_unget('Z');
  kiv::SetBGetPosition(10, 0);
  EXPECT_EQ(kiv::b_getc(), 'Z');
  EXPECT_EQ(kiv::b_getc(), static_cast<unsigned char>(source[10]));
  kiv::b_unget('Z');
  kiv::SetBGetPosition(5, 1);
  EXPECT_EQ(kiv::b_getc(), static_cast<unsigned char>(source[5]));
  kiv::SetBGetPosition(119999, 1);
  EXPECT_EQ(kiv::b_getc(), static_cast<unsigned char>(source[119999]));
  EXPECT_EQ(kiv::b_getc(), -1);
  kiv::SetBGetPosition(0, 1);  // the end state goes with the move
  EXPECT_EQ(read_rest(), source);
}

TEST_F(BufferedIo, RewindReadsTheSourceAgain) {
  open_streams("abc");
  EXPECT_EQ(kiv::b_getc(), 'a');
  kiv::b_unget('z');
  EXPECT_EQ(kiv::RewindSourceFile(), 0);
  EXPECT_EQ(read_rest(), "abc");
}

TEST_F(BufferedIo, PlainRunsCopyLikeSingleBytes) {
  open_streams("hello, world<rest");
  kiv::progress.DispDotSize = 1000;
  EXPECT_EQ(kiv::b_copy_run(printable), 12);
  EXPECT_EQ(kiv::BytesRead(), 12);
  EXPECT_EQ(kiv::BytesWritten(), 12);
  EXPECT_EQ(kiv::b_getc(), '<');
  EXPECT_EQ(close_streams(), "hello, world");
}

// Runs are scanned sixteen bytes at a time: a run must end at the first
// refused byte wherever it falls in a block, whether a stop or a byte just
// outside the range, and never go past the source window or the target buffer.
TEST_F(BufferedIo, RunsEndAtTheFirstRefusedByteWhereverItFalls) {
  constexpr kiv::RunBytes text = kiv::run_bytes(' ', '~', {'&', '<', '>'});
  for (const char refused : {'&', '<', '>', '\x1F', '\x7F', '\xE9'}) {
    for (std::size_t length = 0; length <= 40; ++length) {
      SCOPED_TRACE(testing::Message() << "refused byte " << int(static_cast<unsigned char>(refused)) << " after "
                                      << length);
      std::string run = pattern(length);
      for (std::size_t i = 3; i < length; i += 7) run[i] = '~';  // the range's ends are admitted
      for (std::size_t i = 5; i < length; i += 7) run[i] = ' ';
      open_streams(run + refused + "~ tail of the window");
      kiv::progress.DispDotSize = 1000;
      EXPECT_EQ(kiv::b_copy_run(text), static_cast<long>(length));
      EXPECT_EQ(kiv::BytesRead(), static_cast<long>(length));
      EXPECT_EQ(kiv::b_getc(), static_cast<unsigned char>(refused));
      EXPECT_EQ(close_streams(), run);
    }
  }
  // A run longer than the window stops before the window's last byte.
  open_streams(std::string(100, ' ') + pattern(100), 64);
  kiv::progress.DispDotSize = 100000;
  EXPECT_EQ(kiv::b_copy_run(text), 63);
  EXPECT_EQ(kiv::BytesRead(), 63);
  EXPECT_EQ(close_streams(), std::string(63, ' '));
}

}  // namespace
