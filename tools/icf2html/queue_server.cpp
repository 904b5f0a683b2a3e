// Message-queue route, controller side. A request's text is a command word and
// its arguments, each NUL-terminated, numbers in decimal.
#include "queue_server.h"

#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

namespace icf2html {

namespace {

constexpr long progress_type = 1;
constexpr long stop_type = 2;
constexpr long answer_type = 3;
constexpr long request_type = 4;
constexpr std::size_t text_length = 1024;
constexpr std::size_t most_items = 5;

struct Message {
  long type;
  char text[text_length];
};

long number(std::string_view text) {
  long value = -1;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// Attaches the converter's segment when it holds at least count bytes.
unsigned char *attach(long segment, long count) {
  shmid_ds info{};
  if (segment < 0 || count < 0 || shmctl(static_cast<int>(segment), IPC_STAT, &info) != 0 ||
      info.shm_segsz < static_cast<std::size_t>(count))
    return nullptr;
  void *at = shmat(static_cast<int>(segment), nullptr, 0);
  return at == reinterpret_cast<void *>(-1) ? nullptr : static_cast<unsigned char *>(at);
}

}  // namespace

void QueueServer::request_stop(int queue_id) {
  Message stop{stop_type, {}};
  msgsnd(queue_id, &stop, 1, 0);
}

bool QueueServer::serve_one() {
  Message message{};
  ssize_t got;
  do {
    // Everything but the answers meant for the converter.
    got = msgrcv(queue_id_, &message, text_length, answer_type, MSG_EXCEPT);
  } while (got < 0 && errno == EINTR);
  if (got < 0 || message.type == stop_type) return false;
  if (message.type == progress_type || message.type != request_type) return true;

  std::array<std::string_view, most_items> item{};
  std::size_t items = 0;
  for (std::size_t at = 0; at < static_cast<std::size_t>(got) && items < most_items;) {
    const void *nul = std::memchr(message.text + at, 0, static_cast<std::size_t>(got) - at);
    if (!nul) break;
    const std::size_t end = static_cast<std::size_t>(static_cast<const char *>(nul) - message.text);
    item[items++] = std::string_view(message.text + at, end - at);
    at = end + 1;
  }
  const std::string_view word = item[0];
  bool ok = false;
  long value = 0;
  bool has_value = true;
  if (word == "OPEN" && items >= 4) {
    value = files_.open(item[1], static_cast<int>(number(item[2])), static_cast<int>(number(item[3])));
    ok = value >= 0;
  } else if ((word == "READ" || word == "WRITE") && items >= 4) {
    const long count = number(item[3]);
    if (unsigned char *data = attach(number(item[2]), count)) {
      const int handle = static_cast<int>(number(item[1]));
      value = word == "READ" ? files_.read(handle, data, static_cast<int>(count))
                             : files_.write(handle, data, static_cast<int>(count));
      shmdt(data);
      ok = value >= 0;
    }
  } else if (word == "LSEEK" && items >= 4) {
    value = files_.seek(static_cast<int>(number(item[1])), number(item[2]), static_cast<int>(number(item[3])));
    ok = value >= 0;
  } else if (word == "CLOSE" && items >= 2) {
    ok = files_.close(static_cast<int>(number(item[1]))) == 0;
    has_value = false;
  } else if (word == "CHECKEXIST" && items >= 2) {
    ok = files_.exists(item[1]) == 0;
    has_value = false;
  } else if (word == "UNLINK" && items >= 2) {
    ok = files_.unlink(item[1]) == 0;
    has_value = false;
  } else if (word == "GETSIZE" && items >= 2) {
    value = files_.size(item[1]);
    ok = value >= 0;
  } else if (word == "RENAME" && items >= 3) {
    ok = files_.rename(item[1], item[2]) == 0;
    has_value = false;
  }

  Message answer{answer_type, {}};
  std::string text = ok ? "SUCCESS" : "FAILURE";
  text.push_back('\0');
  if (ok && has_value) {
    text += std::to_string(value);
    text.push_back('\0');
  }
  std::memcpy(answer.text, text.data(), text.size());
  int sent;
  do {
    sent = msgsnd(queue_id_, &answer, text.size(), 0);
  } while (sent != 0 && errno == EINTR);
  return sent == 0;
}

}  // namespace icf2html
