// The message-queue client against a fake controller on a private queue: a
// thread takes each request, shows it to the test and sends the scripted answer.
#include "remote/queue_protocol.h"

#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/options.h"
#include "support/stream_fixture.h"

namespace {

struct Request {
  std::string text;                // the request's text as sent (its length is the sent length)
  std::vector<std::string> items;  // split at the NULs
};

// Answers with the items, each followed by NUL.
std::string answer_of(std::initializer_list<std::string> items) {
  std::string text;
  for (const std::string &item : items) text += item + '\0';
  return text;
}

class QueueProtocol : public test_support::StreamFixture {
 protected:
  void SetUp() override {
    StreamFixture::SetUp();
    queue_id = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
    ASSERT_NE(queue_id, -1);
    kiv::settings.IPCMsgQueueID = queue_id;
  }
  void TearDown() override {
    msgctl(queue_id, IPC_RMID, nullptr);  // a controller still waiting gives up
    if (controller.joinable()) controller.join();
    StreamFixture::TearDown();
  }
  // The next request gets the answer that respond returns for it.
  void expect_request(std::function<std::string(const Request &)> respond) {
    if (controller.joinable()) controller.join();
    controller = std::thread([this, respond] {
      kiv::QueueMessage message;
      const ssize_t got = msgrcv(queue_id, &message, sizeof message.text, kiv::queue_request_type, 0);
      if (got < 0) return;
      Request request{std::string(message.text, static_cast<std::size_t>(got)), {}};
      for (std::size_t at = 0; at < request.text.size();) {
        const std::size_t end = request.text.find('\0', at);
        request.items.push_back(request.text.substr(at, end - at));
        at = end == std::string::npos ? request.text.size() : end + 1;
      }
      requests.push_back(request);
      const std::string text = respond(request);
      kiv::QueueMessage answer;
      answer.type = kiv::queue_answer_type;
      std::memcpy(answer.text, text.data(), text.size());
      msgsnd(queue_id, &answer, text.size(), 0);
    });
  }
  void answer_next(const std::string &text) {
    expect_request([text](const Request &) { return text; });
  }
  const Request &last() {
    controller.join();
    return requests.back();
  }

  int queue_id = -1;
  std::thread controller;
  std::vector<Request> requests;
};

TEST_F(QueueProtocol, ReadsCopyNoMoreThanAskedFromASegmentThatIsThenRemoved) {
  struct Case {
    std::string claimed;
    int expected;
  };
  for (const Case &c : {Case{"5", 5}, Case{"500", 100}, Case{"-3", 0}}) {
    int segment = -1;
    expect_request([&segment, &c](const Request &r) {
      segment = std::stoi(r.items.at(2));
      auto *data = static_cast<char *>(shmat(segment, nullptr, 0));
      std::memset(data, 'q', 108);
      shmdt(data);
      return answer_of({"SUCCESS", c.claimed});
    });
    std::vector<unsigned char> buffer(116, 0);
    EXPECT_EQ(kiv::IPCread(4, buffer.data(), 100), c.expected) << c.claimed;
    const Request &r = last();
    EXPECT_EQ(r.items.at(0), "READ");
    EXPECT_EQ(r.items.at(1), "4");
    EXPECT_EQ(r.items.at(3), "100");
    EXPECT_EQ(buffer[100], 0) << "copied past the count";
    shmid_ds info{};
    EXPECT_EQ(shmctl(segment, IPC_STAT, &info), -1) << "the segment is left behind";
  }
  answer_next(answer_of({"FAILURE"}));
  unsigned char buffer[4];
  EXPECT_EQ(kiv::IPCread(4, buffer, 4), -1);
}

TEST_F(QueueProtocol, WritesHandTheirBytesOverInTheSegment) {
  std::string seen;
  expect_request([&seen](const Request &r) {
    const int count = std::stoi(r.items.at(3));
    auto *data = static_cast<char *>(shmat(std::stoi(r.items.at(2)), nullptr, 0));
    seen.assign(data, static_cast<std::size_t>(count));
    shmdt(data);
    return answer_of({"SUCCESS", r.items.at(3)});
  });
  EXPECT_EQ(kiv::IPCwrite(7, "payload", 7), 7);
  EXPECT_EQ(last().items.at(0), "WRITE");
  EXPECT_EQ(seen, "payload");
  // A write answered with nothing written, or with more than was sent.
  answer_next(answer_of({"SUCCESS", "0"}));
  EXPECT_EQ(kiv::IPCwrite(7, "x", 1), 0);
  answer_next(answer_of({"SUCCESS", "99"}));
  EXPECT_EQ(kiv::IPCwrite(7, "x", 1), 1);
  testing::internal::CaptureStderr();
  answer_next(answer_of({"FAILURE"}));
  EXPECT_EQ(kiv::IPCwrite(7, "x", 1), -1);
  last();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "IPCwrite: msgrcv got FAILURE\n");
}

TEST_F(QueueProtocol, NameAndHandleOperationsReadTheirAnswers) {
  struct Case {
    std::function<long()> call;
    std::string answer;
    long expected;
    std::string request;
  };
  const std::string open_request = answer_of({"OPEN", "a.txt", "2", "3"}) + std::string(2, '\0');  // two bytes longer
  const std::vector<Case> cases = {
      {[] { return kiv::IPCopen("a.txt", 2, 3); }, answer_of({"SUCCESS", "5"}), 5, open_request},
      {[] { return kiv::IPCopen("a.txt", 2, 3); }, answer_of({"FAILURE"}), -1, open_request},
      {[] { return kiv::IPCCheckExist("f"); }, answer_of({"SUCCESSFUL"}), 0, answer_of({"CHECKEXIST", "f"})},
      {[] { return kiv::IPCCheckExist("f"); }, answer_of({"NOPE"}), 1, answer_of({"CHECKEXIST", "f"})},
      {[] { return kiv::IPCrename("a", "b"); }, answer_of({"SUCCESS"}), 0, answer_of({"RENAME", "a", "b"})},
      {[] { return kiv::IPCrename("a", "b"); }, answer_of({"SUCCESSFUL"}), -1, answer_of({"RENAME", "a", "b"})},
      {[] { return kiv::IPCunlink("u"); }, answer_of({"SUCCESS"}), 0, answer_of({"UNLINK", "u"})},
      {[] { return kiv::IPCGetSize("g"); }, answer_of({"SUCCESS", "4321"}), 4321, answer_of({"GETSIZE", "g"})},
      {[] { return kiv::IPClseek(3, -20, 2); }, answer_of({"SUCCESS", "80"}), 80, answer_of({"LSEEK", "3", "-20", "2"})},
      {[] { return kiv::IPCclose(3); }, answer_of({"SUCCESS"}), 0, answer_of({"CLOSE", "3"})},
      {[] { return kiv::IPCclose(3); }, answer_of({"FAILURE"}), -1, answer_of({"CLOSE", "3"})},
  };
  for (const Case &c : cases) {
    answer_next(c.answer);
    EXPECT_EQ(c.call(), c.expected) << c.request;
    EXPECT_EQ(last().text, c.request);
  }
}

TEST_F(QueueProtocol, AQueueThatIsGoneFailsEveryOperation) {
  msgctl(queue_id, IPC_RMID, nullptr);
  unsigned char buffer[8];
  EXPECT_EQ(kiv::IPCopen("a", 1, 1), -1);
  EXPECT_EQ(kiv::IPCread(1, buffer, 8), -1);
  EXPECT_EQ(kiv::IPCCheckExist("a"), -1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(kiv::IPCwrite(1, buffer, 8), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("IPCwrite: msgsnd failed"), std::string::npos);
}

TEST_F(QueueProtocol, TooLongARequestIsNotSent) {
  const std::string name(kiv::queue_text_length, 'n');
  EXPECT_EQ(kiv::IPCopen(name.c_str(), 1, 1), -1);
  EXPECT_EQ(kiv::IPCunlink(name.c_str()), -1);
  msqid_ds info{};
  ASSERT_EQ(msgctl(queue_id, IPC_STAT, &info), 0);
  EXPECT_EQ(info.msg_qnum, 0u);
}

}  // namespace
