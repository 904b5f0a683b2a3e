// The message-queue route: commands as text messages, data in shared memory.
#include "remote/queue_protocol.h"

#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "runtime/options.h"

namespace kiv {

QueueState queue;

namespace {

constexpr char success[] = "SUCCESS";
constexpr int success_compared_by_check_exist = 7;
constexpr std::size_t answer_number_at = sizeof success;  // right after "SUCCESS" and its NUL
constexpr std::size_t segment_spare = 8;
constexpr int segment_permission = 0666;
constexpr std::size_t open_padding = 2;  // the open request goes out two zero bytes longer

// Builds the text of a request in the message buffer, one NUL-terminated item
// after another; an item that does not fit spoils the request.
class RequestText {
 public:
  RequestText() {
    auto &message = queue.sndbuf1;
    message.type = queue_request_type;
    std::memset(message.text, 0, sizeof message.text);
    at_ = message.text;
  }
  RequestText &item(const char *text) {
    const std::size_t length = std::strlen(text) + 1;
    if (length > static_cast<std::size_t>(end() - at_)) fits_ = false;
    else at_ = wstrcpy(at_, text);
    return *this;
  }
  RequestText &number(long value) {
    char digits[24] = {};
    std::to_chars(digits, digits + sizeof digits - 1, value);
    return item(digits);
  }
  bool fits() const { return fits_; }
  std::size_t length() const { return static_cast<std::size_t>(at_ - queue.sndbuf1.text); }

 private:
  char *end() const { return queue.sndbuf1.text + sizeof queue.sndbuf1.text; }
  char *at_;
  bool fits_ = true;
};

int send_message(std::size_t length) {
  queue.msgsz = length;
  PrintMsgText(stdout, &queue.sndbuf1);
  for (;;) {
    if (msgsnd(settings.IPCMsgQueueID, &queue.sndbuf1, queue.msgsz, 0) == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

int receive_answer(std::size_t limit) {
  std::memset(queue.sndbuf1.text, 0, sizeof queue.sndbuf1.text);
  for (;;) {
    if (msgrcv(settings.IPCMsgQueueID, &queue.sndbuf1, limit, queue_answer_type, 0) >= 0) return 0;
    if (errno != EINTR) return -1;
  }
}

// Sends the built request and waits for its answer: 0, or -1 when either fails.
int exchange(const RequestText &request, std::size_t limit = queue_text_length) {
  if (!request.fits() || send_message(request.length()) != 0) return -1;
  return receive_answer(limit);
}

bool answered_success() { return std::strcmp(queue.sndbuf1.text, success) == 0; }

// The decimal number after "SUCCESS"; the controller's text, so held to int.
long answer_number() {
  const long value = std::strtol(queue.sndbuf1.text + answer_number_at, nullptr, 10);
  return std::clamp(value, long{INT_MIN}, long{INT_MAX});
}

// A private segment for one transfer, removed when it goes out of scope.
class Segment {
 public:
  explicit Segment(int count) : id_(shmget(IPC_PRIVATE, static_cast<std::size_t>(count) + segment_spare,
                                           segment_permission | IPC_CREAT)) {}
  ~Segment() { remove(); }
  Segment(const Segment &) = delete;
  Segment &operator=(const Segment &) = delete;
  int id() const { return id_; }
  // The removal's result; 0 when there is nothing left to remove.
  int remove() {
    if (id_ == -1) return 0;
    shmid_ds shm_buffer{};
    const int result = shmctl(id_, IPC_RMID, &shm_buffer);
    id_ = -1;
    return result;
  }

 private:
  int id_;
};

int name_command(const char *word, const char *name) {
  RequestText request;
  request.item(word).item(name);
  return exchange(request);
}

}  // namespace

char *wstrcpy(char *to, const char *from) {
  const std::size_t length = std::strlen(from) + 1;
  std::memcpy(to, from, length);
  return to + length;
}

void PrintMsgText(std::FILE *, const QueueMessage *) {}
void PrintMsgStat(std::FILE *, int) {}

int IPCopen(const char *name, int mode, int kind) {
  RequestText request;
  request.item("OPEN").item(name).number(mode).number(kind);
  if (!request.fits() || request.length() + open_padding > static_cast<std::size_t>(queue_text_length)) return -1;
  const std::size_t sent = request.length() + open_padding;
  if (send_message(sent) != 0 || receive_answer(sent) != 0 || !answered_success()) return -1;
  return static_cast<int>(answer_number());
}

int IPCread(int h, void *buf, int n) {
  if (n < 0) return -1;
  Segment segment(n);
  if (segment.id() == -1) {
    std::printf("Couldn't get shared memory\n");
    return -1;
  }
  RequestText request;
  request.item("READ").number(h).number(segment.id()).number(n);
  if (exchange(request) != 0 || !answered_success()) return -1;
  // The count is the controller's claim: never more than was asked, never negative.
  const long got = std::clamp(answer_number(), 0L, static_cast<long>(n));
  void *data = shmat(segment.id(), nullptr, SHM_RDONLY);
  if (data == reinterpret_cast<void *>(-1)) {
    std::fprintf(stderr, "IPCread shmat failed\n");
    return -1;
  }
  std::memcpy(buf, data, static_cast<std::size_t>(got));
  shmdt(data);
  return static_cast<int>(got);
}

int IPCwrite(int h, const void *buf, int n) {
  if (n < 0) return -1;
  Segment segment(n);
  if (segment.id() == -1) return -1;
  void *data = shmat(segment.id(), nullptr, 0);
  if (data == reinterpret_cast<void *>(-1)) return -1;
  std::memcpy(data, buf, static_cast<std::size_t>(n));
  shmdt(data);
  RequestText request;
  request.item("WRITE").number(h).number(segment.id()).number(n);
  if (!request.fits()) return -1;
  if (send_message(request.length()) != 0) {
    std::fprintf(stderr, "IPCwrite: msgsnd failed msgsz = %d errno %d\n", static_cast<int>(queue.msgsz), errno);
    return -1;
  }
  if (receive_answer(queue_text_length) != 0) {
    std::fprintf(stderr, "IPCwrite: msgrcv failed\n");
    return -1;
  }
  if (!answered_success()) {
    std::fprintf(stderr, "IPCwrite: msgrcv got %s\n", queue.sndbuf1.text);
    return -1;
  }
  const long written = std::clamp(answer_number(), -1L, static_cast<long>(n));
  if (const int removed = segment.remove(); removed != 0)
    std::fprintf(stderr, "IPCwrite: msgctl returned %d errno %d\n", removed, errno);
  return static_cast<int>(written);
}

long IPClseek(int h, long offset, int whence) {
  RequestText request;
  request.item("LSEEK").number(h).number(offset).number(whence);
  if (exchange(request) != 0 || !answered_success()) return -1;
  return answer_number();
}

int IPCclose(int h) {
  RequestText request;
  request.item("CLOSE").number(h);
  return exchange(request) == 0 && answered_success() ? 0 : -1;
}

int IPCCheckExist(const char *name) {
  if (name_command("CHECKEXIST", name) != 0) return -1;
  return std::strncmp(queue.sndbuf1.text, success, success_compared_by_check_exist) == 0 ? 0 : 1;
}

int IPCunlink(const char *name) { return name_command("UNLINK", name) == 0 && answered_success() ? 0 : -1; }

int IPCrename(const char *old_name, const char *new_name) {
  RequestText request;
  request.item("RENAME").item(old_name).item(new_name);
  return exchange(request) == 0 && answered_success() ? 0 : -1;
}

long IPCGetSize(const char *name) {
  if (name_command("GETSIZE", name) != 0 || !answered_success()) return -1;
  return answer_number();
}

}  // namespace kiv
