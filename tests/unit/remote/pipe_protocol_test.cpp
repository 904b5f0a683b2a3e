// The pipe client against a scripted controller: replies are queued in a real
// pipe before each call, and the requests the client wrote are read back.
#include "remote/pipe_protocol.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/options.h"
#include "support/pipe_records.h"
#include "support/stream_fixture.h"

namespace {

using test_support::put_word;
using test_support::word_at;

// A reply record: a request's layout, the reply bit on its serial.
std::string reply(std::int32_t command, std::uint32_t serial, std::initializer_list<std::int32_t> words = {},
                  const std::string &data = "", std::uint32_t signature = test_support::pipe_signature) {
  return test_support::pipe_record(command, serial | test_support::pipe_reply_bit, words, data, signature);
}

class PipeProtocol : public test_support::StreamFixture {
 protected:
  void SetUp() override {
    StreamFixture::SetUp();
    ASSERT_EQ(pipe2(requests, O_NONBLOCK), 0);
    ASSERT_EQ(pipe(replies), 0);
    // Room for the largest records without a second thread.
    fcntl(requests[1], F_SETPIPE_SZ, 1 << 20);
    fcntl(replies[1], F_SETPIPE_SZ, 1 << 20);
    kiv::settings.out_pipe = requests[1];
    kiv::settings.in_pipe = replies[0];
    use_record_length(4096);
    testing::internal::CaptureStdout();  // the client's trace stays out of the test's output
  }
  void TearDown() override {
    testing::internal::GetCapturedStdout();
    for (int fd : {requests[0], requests[1], replies[0], replies[1]})
      if (fd != -1) close(fd);
    StreamFixture::TearDown();
  }
  void use_record_length(int length) {
    kiv::settings.max_pipe_buf_len = length;
    kiv::InitIFSPipes();
  }
  void queue(const std::string &record) { ASSERT_EQ(write(replies[1], record.data(), record.size()), ssize_t(record.size())); }
  // The request records written so far, split by their length words.
  std::vector<std::string> sent() {
    std::string all(1 << 21, '\0');
    const ssize_t n = read(requests[0], all.data(), all.size());
    all.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    std::vector<std::string> records;
    for (std::size_t at = 0; at + 4 <= all.size();) {
      const std::size_t length = word_at(all, at);
      records.push_back(all.substr(at, length));
      at += length;
    }
    return records;
  }

  int requests[2] = {-1, -1};
  int replies[2] = {-1, -1};
};

TEST_F(PipeProtocol, OpenAndCloseSendSerialsZeroAndOneInTheRecordLayout) {
  queue(reply(kiv::pipe_open_file, 0, {7}));
  queue(reply(kiv::pipe_close_file, 1, {0}));
  EXPECT_EQ(kiv::PIOopen("dir/a.txt", 2, 3), 7);
  EXPECT_EQ(kiv::PIOclose(7), 0);
  const auto records = sent();
  ASSERT_EQ(records.size(), 2u);
  const std::string &open = records[0];
  ASSERT_EQ(open.size(), 256u);
  EXPECT_EQ(word_at(open, 4), test_support::pipe_signature);
  EXPECT_EQ(word_at(open, 8), 0u);
  EXPECT_EQ(word_at(open, 12), std::uint32_t{kiv::pipe_open_file});
  EXPECT_EQ(std::string(open.c_str() + 16), "dir/a.txt");
  EXPECT_EQ(word_at(open, 26), 2u);  // right after the name's NUL
  EXPECT_EQ(word_at(open, 30), 3u);
  EXPECT_EQ(word_at(records[1], 8), 1u);
  EXPECT_EQ(word_at(records[1], 12), std::uint32_t{kiv::pipe_close_file});
  EXPECT_EQ(word_at(records[1], 16), 7u);
  EXPECT_EQ(word_at(records[1], 4), test_support::pipe_signature);  // kept from the open
  EXPECT_EQ(kiv::pipes.pipe_serial_no, 2u);
}

TEST_F(PipeProtocol, ReadsCollectRecordsUntilTheCountOrEndOfFile) {
  queue(reply(kiv::pipe_end_of_file, 0, {40}, std::string(40, 'x')));
  unsigned char buffer[100] = {};
  EXPECT_EQ(kiv::PIOread(4, buffer, 100), 40);
  EXPECT_EQ(buffer[39], 'x');
  EXPECT_EQ(buffer[40], 0);

  queue(reply(kiv::pipe_read_file, 1, {3}, "abc"));
  queue(reply(kiv::pipe_read_file, 1, {2}, "de"));
  EXPECT_EQ(kiv::PIOread(5, buffer, 5), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), 5), "abcde");
  const auto records = sent();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(word_at(records[1], 16), 5u);
  EXPECT_EQ(word_at(records[1], 20), 5u);
  EXPECT_EQ(word_at(records[1], 8), 1u);

  // Nothing asked: no reply is read, yet the serial moves on.
  EXPECT_EQ(kiv::PIOread(4, buffer, 0), 0);
  EXPECT_EQ(kiv::pipes.pipe_serial_no, 3u);
}

TEST_F(PipeProtocol, AHandleAtItsEndReadsNothingWithoutAskingUntilItIsTouched) {
  const struct {
    const char *label;
    std::int32_t reply_command;
    int (*touch)();
  } touches[] = {{"seek", kiv::pipe_seek_file, [] { return int(kiv::PIOlseek(4, 0, SEEK_SET)); }},
                 {"write", kiv::pipe_write_file, [] { return kiv::PIOwrite(4, "z", 1); }},
                 {"close", kiv::pipe_close_file, [] { return kiv::PIOclose(4); }},
                 {"open", kiv::pipe_open_file, [] { return kiv::PIOopen("again", 0, 0); }}};
  for (const auto &t : touches) {
    std::uint32_t serial = kiv::pipes.pipe_serial_no;
    queue(reply(kiv::pipe_end_of_file, serial++, {2}, "ab"));
    unsigned char buffer[10] = {};
    EXPECT_EQ(kiv::PIOread(4, buffer, 10), 2) << t.label;
    EXPECT_EQ(kiv::PIOread(4, buffer, 10), 0) << t.label;
    EXPECT_EQ(sent().size(), 1u) << t.label << ": the second read asked the controller";
    queue(reply(t.reply_command, serial, {t.reply_command == kiv::pipe_open_file ? 4 : 0}));
    t.touch();
    queue(reply(kiv::pipe_read_file, kiv::pipes.pipe_serial_no, {1}, "c"));
    EXPECT_EQ(kiv::PIOread(4, buffer, 1), 1) << t.label << ": the read after it was not asked for";
    EXPECT_EQ(sent().size(), 2u) << t.label;
  }
}

TEST_F(PipeProtocol, ReadClaimsAreClampedToWhatWasAskedAndWhatTheRecordHolds) {
  const struct {
    const char *label;
    std::int32_t claimed;  // the count word of the reply
    int data_bytes;        // bytes the record really carries
    int wanted;
    int expected;
  } cases[] = {{"more than asked", 500, 500, 100, 100},
               {"negative", -7, 10, 100, 0},
               {"more than the record holds", 4000, 10, 4000, 236},
               {"huge", 0x7fffffff, 10, 50, 50}};
  for (const auto &c : cases) {
    queue(reply(kiv::pipe_end_of_file, kiv::pipes.pipe_serial_no, {c.claimed}, std::string(std::size_t(c.data_bytes), 'd')));
    std::vector<unsigned char> buffer(static_cast<std::size_t>(c.wanted) + 16, 0xEE);
    // A handle of its own for each: the last one ended with END_OF_FILE.
    EXPECT_EQ(kiv::PIOread(static_cast<int>(&c - cases), buffer.data(), c.wanted), c.expected) << c.label;
    EXPECT_EQ(buffer[static_cast<std::size_t>(c.wanted)], 0xEE) << c.label << ": written past the count";
  }
}

TEST_F(PipeProtocol, WritesGoInPiecesThatFitTheRecordLength) {
  std::string data(10000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  for (std::uint32_t s = 0; s < 3; ++s) queue(reply(kiv::pipe_write_file, s, {0}));
  EXPECT_EQ(kiv::PIOwrite(9, data.data(), 10000), 10000);
  const auto records = sent();
  ASSERT_EQ(records.size(), 3u);
  const std::uint32_t lengths[] = {4096, 4096, 2600};
  std::string joined;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(word_at(records[i], 0), lengths[i]);
    EXPECT_EQ(word_at(records[i], 8), i);
    EXPECT_EQ(word_at(records[i], 16), 9u);
    EXPECT_EQ(word_at(records[i], 20), lengths[i] - 264);
    joined.append(records[i], 24, lengths[i] - 264);
  }
  EXPECT_EQ(joined, data);

  // Nothing to write still sends one empty record.
  queue(reply(kiv::pipe_write_file, 3, {0}));
  EXPECT_EQ(kiv::PIOwrite(9, "", 0), 0);
  EXPECT_EQ(word_at(sent().at(0), 0), 264u);
  // A reply of another command is a refused write.
  queue(reply(kiv::pipe_quit, 4, {-1}));
  EXPECT_EQ(kiv::PIOwrite(9, "abc", 3), -1);
}

TEST_F(PipeProtocol, RecordsAtTheLargestLengthCarryTheirWholeData) {
  use_record_length(65536);
  const std::string big(65536 - 20, 'r');
  queue(reply(kiv::pipe_read_file, 0, {65516}, big));
  std::vector<unsigned char> buffer(65516);
  EXPECT_EQ(kiv::PIOread(2, buffer.data(), 65516), 65516);
  EXPECT_EQ(buffer.back(), 'r');
  queue(reply(kiv::pipe_write_file, 1, {0}));
  EXPECT_EQ(kiv::PIOwrite(2, big.data(), 65536 - 264), 65536 - 264);
  EXPECT_EQ(word_at(sent().at(1), 0), 65536u);
}

TEST_F(PipeProtocol, RepliesWithoutTheRightSignatureOrReplyBitFail) {
  queue(reply(kiv::pipe_end_of_file, 0, {3}, "abc", 0x12345678));
  unsigned char buffer[8];
  EXPECT_EQ(kiv::PIOread(1, buffer, 3), -1);
  EXPECT_EQ(kiv::pipes.pipe_serial_no, 0u);

  std::string no_bit = reply(kiv::pipe_seek_file, 0, {10});
  put_word(no_bit, 8, 0);
  queue(no_bit);
  EXPECT_EQ(kiv::PIOlseek(1, 10, 0), -1);
  queue(reply(kiv::pipe_seek_file, 0, {10}));
  EXPECT_EQ(kiv::PIOlseek(1, 10, 0), 10);
  EXPECT_EQ(kiv::pipes.pipe_serial_no, 1u);
}

TEST_F(PipeProtocol, NameOperationsReportTheStatusWords) {
  queue(reply(kiv::pipe_get_file_size, 0, {0, 1234}));
  queue(reply(kiv::pipe_get_file_size, 1, {2, 1234}));
  queue(reply(kiv::pipe_check_exist, 2, {0}));
  queue(reply(kiv::pipe_check_exist, 3, {1}));
  queue(reply(kiv::pipe_unlink, 4, {-1}));
  queue(reply(kiv::pipe_rename, 5, {0}));
  queue(reply(kiv::pipe_rename, 5, {-1}));
  EXPECT_EQ(kiv::PIOGetSize("a"), 1234);
  EXPECT_EQ(kiv::PIOGetSize("a"), -1);
  EXPECT_EQ(kiv::pipes.error_code, 2);
  EXPECT_EQ(kiv::PIOCheckExist("a"), 0);
  EXPECT_EQ(kiv::PIOCheckExist("a"), -1);
  EXPECT_EQ(kiv::PIOunlink("a"), -1);
  EXPECT_EQ(kiv::PIOrename("old", "new"), 0);
  EXPECT_EQ(kiv::PIOrename("old", "new"), -1);
  const auto records = sent();
  ASSERT_EQ(records.size(), 7u);
  // A rename leaves the serial where it was: both renames carry 5.
  EXPECT_EQ(word_at(records[5], 8), 5u);
  EXPECT_EQ(word_at(records[6], 8), 5u);
  EXPECT_EQ(std::string(records[5].c_str() + 20), "new");
}

TEST_F(PipeProtocol, NamesBeyondTheirLimitsAreRefusedWithoutARequest) {
  const std::string open_longest(kiv::open_name_limit - 1, 'o');
  const std::string longest(kiv::name_limit - 1, 'n');
  queue(reply(kiv::pipe_open_file, 0, {1}));
  queue(reply(kiv::pipe_unlink, 1, {0}));
  queue(reply(kiv::pipe_rename, 2, {0}));
  EXPECT_EQ(kiv::PIOopen(open_longest.c_str(), 1, 1), 1);
  EXPECT_EQ(kiv::PIOunlink(longest.c_str()), 0);
  EXPECT_EQ(kiv::PIOrename(std::string(119, 'a').c_str(), std::string(119, 'b').c_str()), 0);
  EXPECT_EQ(sent().size(), 3u);
  EXPECT_EQ(kiv::PIOopen((open_longest + "o").c_str(), 1, 1), -1);
  EXPECT_EQ(kiv::PIOunlink((longest + "n").c_str()), -1);
  EXPECT_EQ(kiv::PIOrename(std::string(120, 'a').c_str(), std::string(119, 'b').c_str()), -1);
  EXPECT_EQ(kiv::PIOlseek(1, 1L << 40, 0), -1);
  EXPECT_TRUE(sent().empty());
}

void count_signal(int) {}

TEST_F(PipeProtocol, AControllerThatGoesAwayFailsTheOperationAndKeepsTheHostAlive) {
  // A short record, then the end of the reply pipe.
  const std::string partial = reply(kiv::pipe_open_file, 0, {1});
  ASSERT_EQ(write(replies[1], partial.data(), 100), 100);
  close(replies[1]);
  replies[1] = -1;
  EXPECT_EQ(kiv::PIOopen("a", 1, 1), -1);
  EXPECT_EQ(kiv::PIOCheckExist("a"), -1);

  // The request pipe broken: no SIGPIPE, and the host's own handler is back.
  struct sigaction host{}, before{}, after{};
  host.sa_handler = count_signal;
  sigaction(SIGPIPE, &host, &before);
  close(requests[0]);
  requests[0] = -1;
  EXPECT_EQ(kiv::PIOwrite(1, "abc", 3), -1);
  sigaction(SIGPIPE, &before, &after);
  EXPECT_EQ(after.sa_handler, count_signal);
}

TEST_F(PipeProtocol, ARecordLongerThanTheBufferFailsAndTheNextReplyIsInStep) {
  // The controller thinks records may be 8192 bytes long; this side has 4096.
  queue(reply(kiv::pipe_end_of_file, 0, {8000}, std::string(8000, 'L')));
  queue(reply(kiv::pipe_check_exist, 1, {0}));
  std::vector<unsigned char> buffer(8000);
  EXPECT_EQ(kiv::PIOread(1, buffer.data(), 8000), -1);
  EXPECT_EQ(kiv::PIOCheckExist("a"), 0);
}

TEST_F(PipeProtocol, RecordLengthsTooShortForARequestFallBackTo4096) {
  for (int length : {0, 100, 264}) {
    use_record_length(length);
    EXPECT_EQ(kiv::pipes.record_length, kiv::fallback_record_length) << length;
  }
  use_record_length(265);
  EXPECT_EQ(kiv::pipes.record_length, 265);
}

}  // namespace
