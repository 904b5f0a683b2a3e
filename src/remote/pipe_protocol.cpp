// The pipe route: request records out, reply records in, one request at a time.
#include "remote/pipe_protocol.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "runtime/error_exit.h"
#include "runtime/memory.h"
#include "runtime/options.h"

namespace kiv {

PipeState pipes;

void reset_pipe_protocol() { pipes = {}; }

namespace {

constexpr int record_spare = 4;

// Trace names, indexed by command code.
constexpr std::array<const char *, 13> command = {
    "QUIT", "PRINT", "OPEN_FILE", "READ_FILE", "WRITE_FILE", "SEEK_FILE", "CLOSE_FILE",
    "GET_FILE_SIZE", "RENAME", "UNLINK", "CHECK_EXIST", "END_OF_FILE", "END_OF_FILE",
};

// Offsets of the command data.
constexpr int data_at = 16;
constexpr int second_word_at = 20;
constexpr int third_word_at = 24;

void put_word(unsigned char *p, std::uint32_t value) {
  p[0] = static_cast<unsigned char>(value >> 24);
  p[1] = static_cast<unsigned char>(value >> 16);
  p[2] = static_cast<unsigned char>(value >> 8);
  p[3] = static_cast<unsigned char>(value);
}

std::uint32_t word_at(const unsigned char *p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::int32_t signed_word_at(const unsigned char *p) { return static_cast<std::int32_t>(word_at(p)); }

int usable_length(int requested) {
  if (requested < min_record_length) return fallback_record_length;
  return std::min(requested, max_record_length);
}

unsigned char *record_buffer(int length) {
  return static_cast<unsigned char *>(KIVmalloc(static_cast<std::size_t>(length) + record_spare));
}

bool allocate_buffers(int length) {
  pipes.out_pipe_buffer = record_buffer(length);
  pipes.in_pipe_buffer = record_buffer(length);
  if (pipes.out_pipe_buffer && pipes.in_pipe_buffer) {
    pipes.record_length = length;
    return true;
  }
  KIVfree(pipes.out_pipe_buffer);
  KIVfree(pipes.in_pipe_buffer);
  pipes.out_pipe_buffer = pipes.in_pipe_buffer = nullptr;
  return false;
}

// A configuration file named among the option words is read before the file
// layer sets the buffers up; the first operation then makes them (and the
// file layer's set-up later starts the serial numbers again).
bool ready() {
  if (!pipes.out_rec) InitIFSPipes();
  return pipes.out_rec && pipes.in_rec;
}

// Fills the head of the request; CLOSE_FILE and WRITE_FILE keep the signature
// that the previous request left in the buffer.
void fill_head(int length, PipeCommand code, bool sign) {
  unsigned char *out = pipes.out_rec;
  put_word(out, static_cast<std::uint32_t>(length));
  if (sign) put_word(out + 4, record_signature);
  put_word(out + 8, pipes.pipe_serial_no);
  put_word(out + 12, static_cast<std::uint32_t>(code));
}

// Writes the whole request; -1 on the first write error. A controller that
// has gone away must not end the host with SIGPIPE, so the signal is ignored
// while writing (unless the host ignores it anyway) and the host's
// disposition is back afterwards.
int send_request(int length) {
  struct sigaction ignore{}, saved{};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  const bool switch_signal = !pipes.host_ignores_sigpipe;
  if (switch_signal) sigaction(SIGPIPE, &ignore, &saved);
  int result = 0;
  for (int done = 0; done < length;) {
    const ssize_t n = write(settings.out_pipe, pipes.out_rec + done, static_cast<std::size_t>(length - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      result = -1;
      break;
    }
    done += static_cast<int>(n);
  }
  if (switch_signal) sigaction(SIGPIPE, &saved, nullptr);
  return result;
}

enum class Filled { whole, end_of_file, error };

Filled read_fully(int fd, unsigned char *to, int count) {
  for (int got = 0; got < count;) {
    const ssize_t n = read(fd, to + got, static_cast<std::size_t>(count - got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Filled::error;
    if (n == 0) return Filled::end_of_file;
    got += static_cast<int>(n);
  }
  return Filled::whole;
}

int read_reply() { return ReadRecord(settings.in_pipe, pipes.in_rec, request_length); }

std::int32_t reply_word(int offset) { return signed_word_at(pipes.in_rec + offset); }
std::int32_t reply_command() { return reply_word(12); }
bool is_reply() { return word_at(pipes.in_rec + 8) & reply_bit; }

// A request that carries one name at the start of its data; -1 when the name
// is too long for the record.
int send_name_request(PipeCommand code, const char *name) {
  const std::size_t length = std::strlen(name) + 1;
  if (!ready() || length > static_cast<std::size_t>(name_limit)) return -1;
  fill_head(request_length, code, true);
  std::memcpy(pipes.out_rec + data_at, name, length);
  return send_request(request_length);
}

// The exchange of the operations that check the reply bit: the reply's status
// word, or -1 when the exchange fails. The serial number advances on success.
bool checked_reply(std::int32_t &status) {
  if (read_reply() != 0 || !is_reply()) return false;
  status = reply_word(data_at);
  ++pipes.pipe_serial_no;
  return true;
}

// A handle that is written, moved, closed or handed out again may have data
// to read once more.
void forget_end_of(int h) {
  if (pipes.handle_at_end == h) pipes.handle_at_end = -1;
}

}  // namespace

void InitIFSPipes() {
  KIVfree(pipes.out_pipe_buffer);
  KIVfree(pipes.in_pipe_buffer);
  pipes = {};
  const int length = usable_length(settings.max_pipe_buf_len);
  if (!allocate_buffers(length) && !(length > fallback_record_length && allocate_buffers(fallback_record_length)))
    KIVexit(8);
  pipes.out_rec = pipes.out_pipe_buffer;
  pipes.in_rec = pipes.in_pipe_buffer;
  struct sigaction current{};
  pipes.host_ignores_sigpipe = sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

int ReadRecord(int fd, unsigned char *buffer, int size) {
  size = std::min(size, pipes.record_length);
  const Filled head = read_fully(fd, buffer, size);
  if (head == Filled::error) std::perror("read");
  if (head != Filled::whole) return -1;
  pipes.reply_length = size;
  PrintRecord(buffer);
  const std::int32_t length = signed_word_at(buffer);
  if (length > size) {
    const int whole = std::min(static_cast<int>(length), pipes.record_length);
    if (read_fully(fd, buffer + size, whole - size) != Filled::whole) return -1;
    pipes.reply_length = whole;
    // A record longer than the buffer (the controller may not know that a
    // smaller one had to do) is read to its end and dropped, so that the next
    // reply starts in step; the operation fails.
    if (length > whole) {
      for (std::int32_t rest = length - whole; rest > 0;) {
        const int piece = std::min(static_cast<int>(rest), whole - size);
        if (read_fully(fd, buffer + size, piece) != Filled::whole) return -1;
        rest -= piece;
      }
      return -1;
    }
  }
  return word_at(buffer + 4) == record_signature ? 0 : -1;
}

void PrintRecord(const unsigned char *record) {
  const std::uint32_t code = word_at(record + 12);
  std::printf("Client Record:\n");
  std::printf("command:    %s\n", code < command.size() ? command[code] : "?");
  std::printf("signature:  %X\n", static_cast<unsigned>(word_at(record + 4)));
  std::printf("serial #:   0x%x\n", static_cast<unsigned>(word_at(record + 8)));
}

int PIOopen(const char *name, int mode, int kind) {
  const std::size_t length = std::strlen(name) + 1;
  if (!ready() || length > static_cast<std::size_t>(open_name_limit)) return -1;
  std::printf("PIOopen: in_pipe: %d out_pipe %d\n", settings.in_pipe, settings.out_pipe);
  fill_head(request_length, pipe_open_file, true);
  unsigned char *data = pipes.out_rec + data_at;
  std::memcpy(data, name, length);
  put_word(data + length, static_cast<std::uint32_t>(mode));
  put_word(data + length + 4, static_cast<std::uint32_t>(kind));
  std::printf("PIOopen about to write %d bytes to %d\n", request_length, settings.out_pipe);
  if (send_request(request_length) != 0) return -1;
  std::printf("PIOopen about to read reply %d bytes from %d\n", request_length, settings.in_pipe);
  if (read_reply() != 0) return -1;
  ++pipes.pipe_serial_no;
  pipes.error_code = reply_word(data_at);
  forget_end_of(pipes.error_code);
  return pipes.error_code;
}

int PIOclose(int h) {
  if (!ready()) return -1;
  std::printf("PIOclose about to write %d bytes to %d\n", request_length, settings.out_pipe);
  std::printf("PIOclose closing %d\n", h);
  forget_end_of(h);
  fill_head(request_length, pipe_close_file, false);
  put_word(pipes.out_rec + data_at, static_cast<std::uint32_t>(h));
  if (send_request(request_length) != 0 || !checked_reply(pipes.error_code)) return -1;
  return pipes.error_code == 0 ? 0 : -1;
}

int PIOread(int h, void *buf, int n) {
  if (!ready()) return -1;
  // The controller marked the end of this file in its last reply: asking
  // again would only fetch the mark once more.
  if (h == pipes.handle_at_end && n > 0) return 0;
  std::printf("PIOread about to write %d bytes to %d\n", request_length, settings.out_pipe);
  fill_head(request_length, pipe_read_file, true);
  put_word(pipes.out_rec + data_at, static_cast<std::uint32_t>(h));
  put_word(pipes.out_rec + second_word_at, static_cast<std::uint32_t>(n));
  if (send_request(request_length) != 0) return -1;
  auto *to = static_cast<unsigned char *>(buf);
  int got = 0;
  while (got < n) {
    if (read_reply() != 0) return -1;
    // The count is the controller's claim: never more than the record holds
    // nor than is still wanted, never negative.
    const int held = pipes.reply_length - second_word_at;
    const int take = std::clamp(reply_word(data_at), 0, std::min(held, n - got));
    std::memcpy(to + got, pipes.in_rec + second_word_at, static_cast<std::size_t>(take));
    got += take;
    if (reply_command() == pipe_end_of_file) {
      pipes.handle_at_end = h;
      break;
    }
  }
  ++pipes.pipe_serial_no;
  return got;
}

int PIOwrite(int h, const void *buf, int n) {
  if (!ready() || n < 0) return -1;
  forget_end_of(h);
  const auto *from = static_cast<const unsigned char *>(buf);
  const int piece_limit = pipes.record_length - write_overhead;
  int written = 0;
  do {
    const int piece = std::min(piece_limit, n - written);
    const int length = piece + write_overhead;
    std::printf("PIOwrite about to write %d bytes to %d\n", length, settings.out_pipe);
    fill_head(length, pipe_write_file, false);
    put_word(pipes.out_rec + data_at, static_cast<std::uint32_t>(h));
    put_word(pipes.out_rec + second_word_at, static_cast<std::uint32_t>(piece));
    if (piece > 0) std::memcpy(pipes.out_rec + third_word_at, from + written, static_cast<std::size_t>(piece));
    if (send_request(length) != 0) return -1;
    ++pipes.pipe_serial_no;
    if (read_reply() != 0) return -1;
    PrintRecord(pipes.in_rec);
    if (reply_command() != pipe_write_file) return -1;
    written += piece;
  } while (written < n);
  return written;
}

long PIOlseek(int h, long offset, int whence) {
  if (!ready() || offset != static_cast<std::int32_t>(offset)) return -1;
  forget_end_of(h);
  fill_head(request_length, pipe_seek_file, true);
  put_word(pipes.out_rec + data_at, static_cast<std::uint32_t>(h));
  put_word(pipes.out_rec + second_word_at, static_cast<std::uint32_t>(offset));
  put_word(pipes.out_rec + third_word_at, static_cast<std::uint32_t>(whence));
  std::int32_t position = -1;
  if (send_request(request_length) != 0 || !checked_reply(position)) return -1;
  return position;
}

int PIOunlink(const char *name) {
  std::int32_t result = -1;
  if (send_name_request(pipe_unlink, name) != 0 || !checked_reply(result)) return -1;
  return result;
}

int PIOCheckExist(const char *name) {
  if (send_name_request(pipe_check_exist, name) != 0 || !checked_reply(pipes.error_code)) return -1;
  return pipes.error_code == 0 ? 0 : -1;
}

long PIOGetSize(const char *name) {
  if (!ready()) return -1;
  std::printf("PIOGetSize about to write %d bytes to %d\n", request_length, settings.out_pipe);
  if (send_name_request(pipe_get_file_size, name) != 0 || !checked_reply(pipes.error_code)) return -1;
  if (pipes.error_code != 0) return -1;
  return std::max(reply_word(second_word_at), std::int32_t{-1});
}

int PIOrename(const char *old_name, const char *new_name) {
  const std::size_t old_length = std::strlen(old_name) + 1;
  const std::size_t new_length = std::strlen(new_name) + 1;
  if (!ready() || old_length + new_length > static_cast<std::size_t>(name_limit)) return -1;
  fill_head(request_length, pipe_rename, true);
  std::memcpy(pipes.out_rec + data_at, old_name, old_length);
  std::memcpy(pipes.out_rec + data_at + old_length, new_name, new_length);
  // Deliberate: a rename neither checks the reply bit nor advances the serial
  // number, so the next request carries the same serial.
  if (send_request(request_length) != 0 || read_reply() != 0) return -1;
  return reply_word(data_at);
}

}  // namespace kiv
