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

#include "support/temp_dir.h"

namespace {

using test_support::read_file;
using test_support::write_file;

enum : std::int32_t { open_command = 2, read_command = 3, write_command = 4, close_command = 6, exist_command = 10 };
constexpr std::uint32_t signature = 0x18436572;
constexpr std::uint32_t reply_bit = 0x80000000;

void put_word(std::string &record, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) record[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

std::uint32_t word(const std::string &record, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(record[at + i]);
  return value;
}

// A request: the head, then the data from byte 16 (words, then bytes).
std::string request(std::int32_t command, std::uint32_t serial, std::initializer_list<std::int32_t> words,
                    const std::string &bytes = "") {
  std::string record(std::max<std::size_t>(256, 16 + 4 * words.size() + bytes.size()), '\0');
  put_word(record, 0, static_cast<std::uint32_t>(record.size()));
  put_word(record, 4, signature);
  put_word(record, 8, serial);
  put_word(record, 12, static_cast<std::uint32_t>(command));
  std::size_t at = 16;
  for (const std::int32_t w : words) {
    put_word(record, at, static_cast<std::uint32_t>(w));
    at += 4;
  }
  record.replace(at, bytes.size(), bytes);
  return record;
}

// An OPEN_FILE request: the name with its NUL, then the mode and the kind.
std::string open_request(std::uint32_t serial, const std::string &name, std::int32_t mode) {
  std::string data = name + '\0' + std::string(8, '\0');
  put_word(data, name.size() + 1, static_cast<std::uint32_t>(mode));
  return request(open_command, serial, {}, data);
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
    for (const int fd : {requests[0], requests[1], replies[0], replies[1]}) close(fd);
  }
  void send(const std::string &bytes) { ASSERT_EQ(write(requests[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
  // The next reply record, which carries no data: its serial, command and first word.
  std::string reply() {
    std::string record(256, '\0');
    EXPECT_EQ(read(replies[0], record.data(), record.size()), 256);
    EXPECT_EQ(word(record, 4), signature);
    return record;
  }
  std::int32_t open_page(std::uint32_t serial) {
    send(open_request(serial, "site/page.html", 2));
    EXPECT_TRUE(server->serve_one());
    return static_cast<std::int32_t>(word(reply(), 16));
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
  send(request(read_command, 1, {page, 0}) + request(exist_command, 1, {}, std::string("site/page.html") + '\0') +
       request(close_command, 2, {page}));
  for (const std::int32_t command : {read_command, exist_command, close_command}) {
    EXPECT_TRUE(server->serve_one()) << command;
    EXPECT_EQ(server->last_command(), command);
    EXPECT_EQ(server->request_held(), command != close_command) << command;
  }
  const std::string exists = reply();
  EXPECT_EQ(word(exists, 8), 1 | reply_bit);
  EXPECT_EQ(word(exists, 12), static_cast<std::uint32_t>(exist_command));
  EXPECT_EQ(word(exists, 16), 0u);
  const std::string closed = reply();
  EXPECT_EQ(word(closed, 8), 2 | reply_bit);
  EXPECT_EQ(word(closed, 12), static_cast<std::uint32_t>(close_command));
}

TEST_F(PipeServer, ARecordThatComesInPiecesIsServedWhole) {
  const std::int32_t page = open_page(0);
  const std::string text(3000, 'x');
  const std::string record = request(write_command, 1, {page, static_cast<std::int32_t>(text.size())}, text);
  std::thread writer([&] {
    const std::size_t cuts[] = {0, 100, 1000, record.size()};
    for (int piece = 0; piece < 3; ++piece) {
      send(record.substr(cuts[piece], cuts[piece + 1] - cuts[piece]));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  EXPECT_TRUE(server->serve_one());
  writer.join();
  EXPECT_FALSE(server->request_held());
  const std::string written = reply();
  EXPECT_EQ(word(written, 12), static_cast<std::uint32_t>(write_command));
  EXPECT_EQ(word(written, 16), text.size());
  send(request(close_command, 2, {page}));
  EXPECT_TRUE(server->serve_one());
  EXPECT_EQ(read_file(dir.file("private/page.html")), text);
}

TEST_F(PipeServer, ALengthThatBreaksTheLayoutAfterAGoodRequestEndsTheService) {
  std::string broken = request(exist_command, 1, {}, std::string("site/page.html") + '\0');
  put_word(broken, 0, 8192);  // beyond the record length
  send(request(exist_command, 0, {}, std::string("site/page.html") + '\0') + broken);
  EXPECT_TRUE(server->serve_one());
  EXPECT_TRUE(server->request_held());  // held, so that the caller does not wait for the pipe
  EXPECT_FALSE(server->serve_one());
  EXPECT_EQ(word(reply(), 12), static_cast<std::uint32_t>(exist_command));
}

}  // namespace
