// The controller's end of the pipe route, fed records written by hand: each
// request is answered once and in order, whether requests come together in
// one read or a record comes in pieces.
#include "pipe_server.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "child_deadline.h"
#include "support/pipe_records.h"
#include "support/temp_dir.h"

namespace {

using test_support::read_file;
using test_support::write_file;

enum : std::int32_t { open_command = 2, read_command = 3, write_command = 4, close_command = 6, exist_command = 10 };
using test_support::pipe_record;
using test_support::put_word;
using test_support::word_at;

// An OPEN_FILE request: the name with its NUL, then the mode and the kind.
std::string open_request(std::uint32_t serial, const std::string &name, std::int32_t mode) {
  std::string data = name + '\0' + std::string(8, '\0');
  put_word(data, name.size() + 1, static_cast<std::uint32_t>(mode));
  return pipe_record(open_command, serial, {}, data);
}

class PipeServer : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(pipe2(requests, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(replies, O_CLOEXEC), 0);
    std::filesystem::create_directory(dir.file("private"));
    write_file(dir.file("user.icf"), "stream");
    server.emplace(files, requests[0], replies[1], 4096);
  }
  void TearDown() override {
    for (const int fd : {requests[0], requests[1], replies[0], replies[1]})
      if (fd != -1) close(fd);
  }
  void send(const std::string &bytes) { ASSERT_EQ(write(requests[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
  // The next reply record, which carries no data: its serial, command and first word.
  std::string reply() {
    std::string record(256, '\0');
    EXPECT_EQ(read(replies[0], record.data(), record.size()), 256);
    EXPECT_EQ(word_at(record, 4), test_support::pipe_signature);
    return record;
  }
  std::int32_t open_page(std::uint32_t serial) {
    send(open_request(serial, "site/page.html", 2));
    EXPECT_EQ(server->serve_one(), icf2html::Served::answered);
    return static_cast<std::int32_t>(word_at(reply(), 16));
  }

  test_support::TempDir dir;
  int requests[2] = {-1, -1}, replies[2] = {-1, -1};
  icf2html::FileService files{{dir.file("private"), ".input", dir.file("user.icf"), "site/", "page.html", "page"}};
  std::optional<icf2html::PipeServer> server;
};

TEST_F(PipeServer, RequestsThatComeTogetherAreAnsweredInTurnWithoutWaitingForThePipe) {
  const std::int32_t page = open_page(0);
  ASSERT_GE(page, 0);
  // A read of nothing gets no reply: the converter's next request follows at once.
  send(pipe_record(read_command, 1, {page, 0}) + pipe_record(exist_command, 1, {}, std::string("site/page.html") + '\0') +
       pipe_record(close_command, 2, {page}));
  for (const std::int32_t command : {read_command, exist_command, close_command}) {
    EXPECT_EQ(server->serve_one(), icf2html::Served::answered) << command;
    EXPECT_EQ(server->last_command(), command);
  }
  const std::string exists = reply();
  EXPECT_EQ(word_at(exists, 8), 1 | test_support::pipe_reply_bit);
  EXPECT_EQ(word_at(exists, 12), static_cast<std::uint32_t>(exist_command));
  EXPECT_EQ(word_at(exists, 16), 0u);
  const std::string closed = reply();
  EXPECT_EQ(word_at(closed, 8), 2 | test_support::pipe_reply_bit);
  EXPECT_EQ(word_at(closed, 12), static_cast<std::uint32_t>(close_command));
}

TEST_F(PipeServer, ARecordThatComesInPiecesIsServedWhole) {
  const std::int32_t page = open_page(0);
  const std::string text(3000, 'x');
  const std::string record = pipe_record(write_command, 1, {page, static_cast<std::int32_t>(text.size())}, text);
  std::thread writer([&] {
    const std::size_t cuts[] = {0, 100, 1000, record.size()};
    for (int piece = 0; piece < 3; ++piece) {
      send(record.substr(cuts[piece], cuts[piece + 1] - cuts[piece]));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  EXPECT_EQ(server->serve_one(), icf2html::Served::answered);
  writer.join();
  const std::string written = reply();
  EXPECT_EQ(word_at(written, 12), static_cast<std::uint32_t>(write_command));
  EXPECT_EQ(word_at(written, 16), text.size());
  send(pipe_record(close_command, 2, {page}));
  EXPECT_EQ(server->serve_one(), icf2html::Served::answered);
  EXPECT_EQ(read_file(dir.file("private/page.html")), text);
}

TEST_F(PipeServer, ALengthThatBreaksTheLayoutAfterAGoodRequestEndsTheService) {
  std::string broken = pipe_record(exist_command, 1, {}, std::string("site/page.html") + '\0');
  put_word(broken, 0, 8192);  // beyond the record length
  send(pipe_record(exist_command, 0, {}, std::string("site/page.html") + '\0') + broken);
  EXPECT_EQ(server->serve_one(), icf2html::Served::answered);
  EXPECT_EQ(server->serve_one(), icf2html::Served::ended);  // from what the first read brought: no wait
  EXPECT_EQ(word_at(reply(), 12), static_cast<std::uint32_t>(exist_command));
}

// The converter's status record comes among its requests; a wait the deadline's
// alarm interrupts keeps the part of a record that came before it.
TEST_F(PipeServer, AStatusRecordEndsTheWaitAndAnInterruptedWaitKeepsWhatCame) {
  const auto status = icf2html::converter_status_record(7);
  const std::string record(status.begin(), status.end());
  send(record.substr(0, 100));
  {
    const icf2html::DeadlineAlarm alarm(icf2html::deadline_after(0.02));
    EXPECT_EQ(server->serve_one(), icf2html::Served::interrupted);
  }
  send(record.substr(100));
  EXPECT_EQ(server->serve_one(), icf2html::Served::status);
  EXPECT_EQ(server->converter_status(), 7);
  close(requests[1]);
  requests[1] = -1;
  EXPECT_EQ(server->serve_one(), icf2html::Served::ended);
}

}  // namespace
