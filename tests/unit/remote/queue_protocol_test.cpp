// The message-queue client against a fake controller on a private queue: a
// thread takes each request, keeps it for the test and sends the scripted
// answer; the data of reads and writes passes through the request's segment.
#include "remote/queue_protocol.h"

#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/options.h"
#include "support/remote_calls.h"
#include "support/stream_fixture.h"

namespace {

struct Request {
  std::string text;  // as sent (its length is the sent length)
  int segment = -1;  // a read's or write's segment
  std::string held;  // what the segment held when the request came, up to its count
};

struct Answer {
  std::string text;
  std::string segment;  // put into a read's segment before the answer goes
};

// A request's items, split at the NULs.
std::vector<std::string> items_of(const std::string &text) {
  std::vector<std::string> items;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\0', at), text.size());
    items.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return items;
}

class QueueProtocol : public test_support::StreamFixture,
                      public testing::WithParamInterface<test_support::ScriptCase> {
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
  // Takes requests until the queue is gone; each gets the next scripted
  // answer, or one that is no success when none is left.
  void serve() {
    kiv::QueueMessage message;
    for (;;) {
      const ssize_t got = msgrcv(queue_id, &message, sizeof message.text, kiv::queue_request_type, MSG_NOERROR);
      if (got < 0) return;
      Request request{std::string(message.text, static_cast<std::size_t>(got)), -1, {}};
      const std::vector<std::string> items = items_of(request.text);
      Answer answer{std::string("UNSCRIPTED") + '\0', ""};
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (!answers.empty()) answer = answers.front(), answers.pop_front();
      }
      if (items.size() == 4 && (items[0] == "READ" || items[0] == "WRITE")) {
        request.segment = std::stoi(items[2]);
        if (auto *data = static_cast<char *>(shmat(request.segment, nullptr, 0)); data != reinterpret_cast<char *>(-1)) {
          request.held.assign(data, std::stoul(items[3]));
          std::memcpy(data, answer.segment.data(), answer.segment.size());
          shmdt(data);
        }
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        requests.push_back(request);
      }
      kiv::QueueMessage reply;
      reply.type = kiv::queue_answer_type;
      std::memcpy(reply.text, answer.text.data(), answer.text.size());
      msgsnd(queue_id, &reply, answer.text.size(), 0);
    }
  }
  std::vector<Request> taken() {
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
  }

  int queue_id = -1;
  std::thread controller;
  std::mutex mutex;
  std::deque<Answer> answers;
  std::vector<Request> requests;
};

const test_support::RemoteOperations queue_operations = {kiv::IPCopen,   kiv::IPCread,   kiv::IPCwrite,
                                                         kiv::IPClseek,  kiv::IPCclose,  kiv::IPCunlink,
                                                         kiv::IPCrename, kiv::IPCGetSize, kiv::IPCCheckExist};

TEST_P(QueueProtocol, GivesTheResultsRequestsAndSegmentsOfItsCase) {
  std::size_t checked = 0;  // requests compared so far
  std::string segment;
  test_support::CallSteps calls(queue_operations);
  for (const auto &[word, rest] : GetParam().steps) {
    SCOPED_TRACE(word + " " + rest.substr(0, 80));
    if (calls.take(word, rest)) continue;
    if (word == "segment") {
      segment = test_support::bytes_of(rest);
    } else if (word == "answer") {
      std::lock_guard<std::mutex> lock(mutex);
      answers.push_back({test_support::bytes_of(rest), segment});
      segment.clear();
    } else if (word == "request" || word == "items") {
      const std::vector<Request> all = taken();
      ASSERT_LT(checked, all.size()) << "no request left to compare";
      const Request &r = all[checked++];
      if (word == "request") {
        EXPECT_EQ(r.text, test_support::bytes_of(rest));
        continue;
      }
      std::vector<std::string> items = items_of(r.text), expected = test_support::words_of(rest);
      for (std::size_t i = 0; i < std::min(items.size(), expected.size()); ++i)
        if (expected[i] == "*") items[i] = "*";
      EXPECT_EQ(items, expected);
    } else if (word == "held") {
      EXPECT_EQ(taken().at(checked - 1).held, test_support::bytes_of(rest));
    } else if (word == "segment-gone") {
      shmid_ds info{};
      EXPECT_EQ(shmctl(taken().at(checked - 1).segment, IPC_STAT, &info), -1) << "the segment is left behind";
    } else if (word == "requests") {
      EXPECT_EQ(taken().size(), std::stoul(rest));
    } else if (word == "queue-gone") {
      msgctl(queue_id, IPC_RMID, nullptr);
    } else {
      FAIL() << "no step " << word;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, QueueProtocol,
                         testing::ValuesIn(test_support::load_script_cases(ICF_TEST_DATA_DIR "/remote/queue_client.case")),
                         [](const auto &info) { return info.param.name; });

}  // namespace
