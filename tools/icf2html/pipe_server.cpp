// Pipe route, controller side. Records begin with a 16-byte head (length,
// signature, serial, command); numbers are 32-bit, most significant byte first.
#include "pipe_server.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace icf2html {

namespace {

constexpr int head_length = 16;
constexpr int short_record = 256;
constexpr std::uint32_t signature = 0x18436572;
constexpr std::uint32_t reply_bit = 0x80000000;
constexpr int data_at = 16;
constexpr int second_at = 20;
constexpr int third_at = 24;
constexpr int open_name_limit = 232;
constexpr int name_limit = 240;

enum : std::int32_t {
  quit = 0, open_file = 2, read_file = 3, write_file = 4, seek_file = 5, close_file = 6,
  get_file_size = 7, rename_file = 8, unlink_file = 9, check_exist = 10, end_of_file = 11,
  // Far from the library's commands: written by the converter child itself, between conversions.
  status_command = 0x7FFF0001,
};

void put_word(unsigned char *p, std::uint32_t value) {
  p[0] = static_cast<unsigned char>(value >> 24);
  p[1] = static_cast<unsigned char>(value >> 16);
  p[2] = static_cast<unsigned char>(value >> 8);
  p[3] = static_cast<unsigned char>(value);
}

std::int32_t word_at(const unsigned char *p) {
  return static_cast<std::int32_t>(std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                                   std::uint32_t{p[2]} << 8 | p[3]);
}

}  // namespace

std::array<unsigned char, 256> converter_status_record(unsigned char status) {
  std::array<unsigned char, short_record> record{};
  put_word(record.data(), short_record);
  put_word(record.data() + 4, signature);
  put_word(record.data() + 12, static_cast<std::uint32_t>(status_command));
  record[data_at] = status;
  return record;
}

PipeServer::PipeServer(FileService &files, int request_fd, int reply_fd, int record_length)
    : files_(files), request_fd_(request_fd), reply_fd_(reply_fd),
      request_(static_cast<std::size_t>(std::max(record_length, short_record))),
      reply_(static_cast<std::size_t>(std::max(record_length, short_record))) {}

std::int32_t PipeServer::last_command() const { return word_at(request_.data() + 12); }

unsigned char PipeServer::converter_status() const { return request_[data_at]; }

PipeServer::Read PipeServer::read_more() {
  const ssize_t n = ::read(request_fd_, request_.data() + held_, request_.size() - static_cast<std::size_t>(held_));
  if (n < 0 && errno == EINTR) return Read::interrupted;
  if (n <= 0) return Read::ended;
  held_ += static_cast<int>(n);
  return Read::whole;
}

// A request comes whole with one read as a rule: the converter writes each
// with one write and waits for its reply. Reads ask for as much as the buffer
// holds, so what follows a request stays in the buffer for the next one.
PipeServer::Read PipeServer::read_request() {
  if (request_length_ > 0) {
    held_ -= request_length_;
    std::memmove(request_.data(), request_.data() + request_length_, static_cast<std::size_t>(held_));
    request_length_ = 0;
  }
  while (held_ < short_record)
    if (const Read got = read_more(); got != Read::whole) return got;
  const std::int32_t length = word_at(request_.data());
  if (length < short_record || length > static_cast<std::int32_t>(request_.size())) return Read::ended;
  while (held_ < length)
    if (const Read got = read_more(); got != Read::whole) return got;
  request_length_ = length;
  return Read::whole;
}

bool PipeServer::write_record(int length) {
  for (int done = 0; done < length;) {
    const ssize_t n = ::write(reply_fd_, reply_.data() + done, static_cast<std::size_t>(length - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<int>(n);
  }
  return true;
}

bool PipeServer::reply(std::int32_t command, std::int32_t first, std::int32_t second) {
  std::fill(reply_.begin(), reply_.begin() + short_record, 0);
  put_word(reply_.data(), short_record);
  put_word(reply_.data() + 4, signature);
  put_word(reply_.data() + 8, static_cast<std::uint32_t>(word_at(request_.data() + 8)) | reply_bit);
  put_word(reply_.data() + 12, static_cast<std::uint32_t>(command));
  put_word(reply_.data() + data_at, static_cast<std::uint32_t>(first));
  put_word(reply_.data() + second_at, static_cast<std::uint32_t>(second));
  return write_record(short_record);
}

// The data of a read follows in records of at most the record length; the
// last one says END_OF_FILE when the file ran out before the count was met.
// A record is never shorter than 256 bytes: the converter reads that much first.
bool PipeServer::send_data(std::int32_t handle, std::int32_t wanted) {
  const int room = static_cast<int>(reply_.size()) - second_at;
  std::int32_t sent = 0;
  for (;;) {
    const int piece = std::min(room, wanted - sent);
    const int got = files_.read(handle, reply_.data() + second_at, piece);
    const int n = std::max(got, 0);
    const bool last = got < piece;
    const int length = std::max(second_at + n, short_record);
    std::fill(reply_.begin() + second_at + n, reply_.begin() + length, 0);
    put_word(reply_.data(), static_cast<std::uint32_t>(length));
    put_word(reply_.data() + 4, signature);
    put_word(reply_.data() + 8, static_cast<std::uint32_t>(word_at(request_.data() + 8)) | reply_bit);
    put_word(reply_.data() + 12, last ? end_of_file : read_file);
    put_word(reply_.data() + data_at, static_cast<std::uint32_t>(n));
    if (!write_record(length)) return false;
    sent += n;
    if (last || sent >= wanted) return true;
  }
}

bool PipeServer::name_at(int offset, int limit, std::string_view &name) const {
  const auto *start = request_.data() + offset;
  const auto *end = static_cast<const unsigned char *>(std::memchr(start, 0, static_cast<std::size_t>(limit)));
  if (!end) return false;
  name = std::string_view(reinterpret_cast<const char *>(start), static_cast<std::size_t>(end - start));
  return true;
}

Served PipeServer::serve_one() {
  switch (read_request()) {
    case Read::interrupted: return Served::interrupted;
    case Read::ended: return Served::ended;
    case Read::whole: break;
  }
  if (last_command() == status_command) return Served::status;
  return answer() ? Served::answered : Served::ended;
}

bool PipeServer::answer() {
  const unsigned char *r = request_.data();
  std::string_view name, second_name;
  switch (word_at(r + 12)) {
    case open_file: {
      if (!name_at(data_at, open_name_limit, name)) return reply(open_file, -1);
      const int after = data_at + static_cast<int>(name.size()) + 1;
      return reply(open_file, files_.open(name, word_at(r + after), word_at(r + after + 4)));
    }
    case read_file: {
      const std::int32_t wanted = word_at(r + second_at);
      // A read of nothing gets no reply: the converter reads none.
      return wanted <= 0 || send_data(word_at(r + data_at), wanted);
    }
    case write_file: {
      const std::int32_t count = word_at(r + second_at);
      const int held = request_length_ - third_at;
      if (count < 0 || count > held) return reply(quit, -1);
      const int done = files_.write(word_at(r + data_at), r + third_at, count);
      // Only a reply with the write command counts as written.
      return done == count ? reply(write_file, done) : reply(quit, -1);
    }
    case seek_file:
      return reply(seek_file, static_cast<std::int32_t>(files_.seek(word_at(r + data_at), word_at(r + second_at),
                                                                      word_at(r + third_at))));
    case close_file: return reply(close_file, files_.close(word_at(r + data_at)));
    case get_file_size: {
      const long size = name_at(data_at, name_limit, name) ? files_.size(name) : -1;
      return reply(get_file_size, size < 0 ? -1 : 0, static_cast<std::int32_t>(std::max(size, 0L)));
    }
    case rename_file: {
      if (!name_at(data_at, name_limit, name)) return reply(rename_file, -1);
      const int second = data_at + static_cast<int>(name.size()) + 1;
      if (!name_at(second, name_limit - (second - data_at), second_name)) return reply(rename_file, -1);
      return reply(rename_file, files_.rename(name, second_name));
    }
    case unlink_file:
      return reply(unlink_file, name_at(data_at, name_limit, name) ? files_.unlink(name) : -1);
    case check_exist:
      return reply(check_exist, name_at(data_at, name_limit, name) ? files_.exists(name) : -1);
    default: return reply(quit, -1);
  }
}

}  // namespace icf2html
