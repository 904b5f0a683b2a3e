// The pipe client against a scripted controller: replies are queued in a real
// pipe before each call, and the requests the client wrote are read back.
#include "remote/pipe_protocol.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/options.h"
#include "support/pipe_records.h"
#include "support/remote_calls.h"
#include "support/stream_fixture.h"

namespace {

using test_support::put_word;
using test_support::word_at;

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

constexpr std::pair<std::string_view, kiv::PipeCommand> commands[] = {
    {"QUIT", kiv::pipe_quit},           {"OPEN_FILE", kiv::pipe_open_file},         {"READ_FILE", kiv::pipe_read_file},
    {"WRITE_FILE", kiv::pipe_write_file}, {"SEEK_FILE", kiv::pipe_seek_file},       {"CLOSE_FILE", kiv::pipe_close_file},
    {"GET_FILE_SIZE", kiv::pipe_get_file_size}, {"RENAME", kiv::pipe_rename},       {"UNLINK", kiv::pipe_unlink},
    {"CHECK_EXIST", kiv::pipe_check_exist}, {"END_OF_FILE", kiv::pipe_end_of_file}};

// "COMMAND SERIAL WORDS... [signature=HEX] [nobit] [: BYTES]": the words, then the bytes.
std::string reply_of(const std::string &step) {
  const std::size_t colon = step.find(" : ");
  const std::vector<std::string> w = test_support::words_of(step.substr(0, colon));
  const auto command = std::find_if(std::begin(commands), std::end(commands), [&](auto &c) { return c.first == w.at(0); });
  if (command == std::end(commands)) throw std::runtime_error("no command " + w.at(0));
  std::uint32_t serial = static_cast<std::uint32_t>(std::stoul(w.at(1))) | test_support::pipe_reply_bit;
  std::uint32_t signature = test_support::pipe_signature;
  std::string data;
  for (std::size_t i = 2; i < w.size(); ++i) {
    if (w[i].rfind("signature=", 0) == 0) {
      signature = static_cast<std::uint32_t>(std::stoul(w[i].substr(10), nullptr, 16));
    } else if (w[i] == "nobit") {
      serial &= ~test_support::pipe_reply_bit;
    } else {
      data += std::string(4, '\0');
      put_word(data, data.size() - 4, static_cast<std::uint32_t>(std::stol(w[i], nullptr, 0)));
    }
  }
  if (colon != std::string::npos) data += test_support::bytes_of(step.substr(colon + 3));
  return test_support::pipe_record(command->second, serial, {}, data, signature);
}

const test_support::RemoteOperations pipe_operations = {kiv::PIOopen,   kiv::PIOread,   kiv::PIOwrite,
                                                        kiv::PIOlseek,  kiv::PIOclose,  kiv::PIOunlink,
                                                        kiv::PIOrename, kiv::PIOGetSize, kiv::PIOCheckExist};

class PipeScript : public PipeProtocol, public testing::WithParamInterface<test_support::ScriptCase> {};

TEST_P(PipeScript, GivesTheRepliesResultsAndRequestsOfItsCase) {
  std::vector<std::string> records;
  test_support::CallSteps calls(pipe_operations);
  for (const auto &[word, rest] : GetParam().steps) {
    SCOPED_TRACE(word + " " + rest.substr(0, 80));
    const std::vector<std::string> w = test_support::words_of(rest);
    auto number = [&w](std::size_t i) { return std::stoll(w.at(i), nullptr, 0); };
    if (calls.take(word, rest)) continue;
    if (word == "records") {
      use_record_length(int(number(0)));
    } else if (word == "reply") {
      queue(reply_of(rest));
    } else if (word == "sent") {
      records = sent();
      EXPECT_EQ(records.size(), std::size_t(number(0)));
    } else if (word == "word") {
      EXPECT_EQ(word_at(records.at(std::size_t(number(0))), std::size_t(number(1))), std::uint32_t(number(2)));
    } else if (word == "bytes") {
      const std::string expected = test_support::bytes_of(test_support::after_words(rest, 2));
      EXPECT_EQ(records.at(std::size_t(number(0))).substr(std::size_t(number(1)), expected.size()), expected);
    } else if (word == "serial") {
      EXPECT_EQ(kiv::pipes.pipe_serial_no, std::uint32_t(number(0)));
    } else if (word == "error") {
      EXPECT_EQ(kiv::pipes.error_code, number(0));
    } else if (word == "record-length") {
      EXPECT_EQ(kiv::pipes.record_length, number(0));
    } else {
      FAIL() << "no step " << word;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, PipeScript,
                         testing::ValuesIn(test_support::load_script_cases(ICF_TEST_DATA_DIR "/remote/pipe_client.case")),
                         [](const auto &info) { return info.param.name; });

void count_signal(int) {}

TEST_F(PipeProtocol, AControllerThatGoesAwayFailsTheOperationAndKeepsTheHostAlive) {
  // A short record, then the end of the reply pipe.
  const std::string partial = test_support::pipe_record(kiv::pipe_open_file, test_support::pipe_reply_bit, {1});
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

}  // namespace
