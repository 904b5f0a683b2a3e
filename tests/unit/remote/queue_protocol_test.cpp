// The message-queue client against a fake controller on a private queue: a
// thread takes each request, keeps it for the test and sends the scripted answer.
#include "remote/queue_protocol.h"

#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/options.h"
#include "support/remote_calls.h"
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
    controller = std::thread([this] { serve(); });
  }
  void TearDown() override {
    msgctl(queue_id, IPC_RMID, nullptr);  // the controller's wait for a request fails
    controller.join();
    StreamFixture::TearDown();
  }
  // Takes requests until the queue is gone; each gets the answer of the next
  // responder, or one that is no success when none is left.
  void serve() {
    kiv::QueueMessage message;
    for (;;) {
      const ssize_t got = msgrcv(queue_id, &message, sizeof message.text, kiv::queue_request_type, MSG_NOERROR);
      if (got < 0) return;
      Request request{std::string(message.text, static_cast<std::size_t>(got)), {}};
      for (std::size_t at = 0; at < request.text.size();) {
        const std::size_t end = request.text.find('\0', at);
        request.items.push_back(request.text.substr(at, end - at));
        at = end == std::string::npos ? request.text.size() : end + 1;
      }
      std::function<std::string(const Request &)> respond = [](const Request &) { return answer_of({"UNSCRIPTED"}); };
      {
        std::lock_guard<std::mutex> lock(mutex);
        requests.push_back(request);
        if (!responders.empty()) respond = responders.front(), responders.pop_front();
      }
      const std::string text = respond(request);
      kiv::QueueMessage answer;
      answer.type = kiv::queue_answer_type;
      std::memcpy(answer.text, text.data(), text.size());
      msgsnd(queue_id, &answer, text.size(), 0);
    }
  }
  // The next request gets the answer that respond returns for it.
  void expect_request(std::function<std::string(const Request &)> respond) {
    std::lock_guard<std::mutex> lock(mutex);
    responders.push_back(std::move(respond));
  }
  void answer_next(const std::string &text) {
    expect_request([text](const Request &) { return text; });
  }
  std::vector<Request> taken() {
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
  }
  Request last() { return taken().back(); }

  int queue_id = -1;
  std::thread controller;
  std::mutex mutex;
  std::deque<std::function<std::string(const Request &)>> responders;
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
    const Request r = last();
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
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "IPCwrite: msgrcv got FAILURE\n");
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

const test_support::RemoteOperations queue_operations = {kiv::IPCopen,   kiv::IPCread,   kiv::IPCwrite,
                                                         kiv::IPClseek,  kiv::IPCclose,  kiv::IPCunlink,
                                                         kiv::IPCrename, kiv::IPCGetSize, kiv::IPCCheckExist};

class QueueScript : public QueueProtocol, public testing::WithParamInterface<test_support::ScriptCase> {};

TEST_P(QueueScript, GivesTheResultsAndRequestsOfItsCase) {
  std::size_t checked = 0;  // requests compared so far
  for (const auto &[word, rest] : GetParam().steps) {
    SCOPED_TRACE(word + " " + rest.substr(0, 80));
    if (word == "answer") {
      answer_next(test_support::bytes_of(rest));
    } else if (word == "call") {
      const test_support::RemoteCall call = test_support::call_remote(queue_operations, rest);
      EXPECT_EQ(call.result, call.expected);
    } else if (word == "request") {
      const std::vector<Request> all = taken();
      ASSERT_LT(checked, all.size()) << "no request left to compare";
      EXPECT_EQ(all[checked++].text, test_support::bytes_of(rest));
    } else if (word == "requests") {
      EXPECT_EQ(taken().size(), std::stoul(rest));
    } else {
      FAIL() << "no step " << word;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, QueueScript,
                         testing::ValuesIn(test_support::load_script_cases(ICF_TEST_DATA_DIR "/remote/queue_client.case")),
                         [](const auto &info) { return info.param.name; });

}  // namespace
