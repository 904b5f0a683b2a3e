// The controller's end of the pipe route: reads request records from the
// converter, has the file service carry them out and writes the replies.
#pragma once

#include <cstdint>
#include <vector>

#include "file_service.h"

namespace icf2html {

class PipeServer {
 public:
  // record_length is the BP= length the converter was given.
  PipeServer(FileService &files, int request_fd, int reply_fd, int record_length);

  // Reads one request and answers it. False at the end of the request pipe or
  // for a record that breaks the layout.
  bool serve_one();
  // Whether a whole request came with the ones read before (a read of nothing
  // gets no reply, so the next request can follow it at once): serve_one
  // answers it without reading, and the request pipe need not show it.
  bool request_held() const;
  void serve_all() {
    while (serve_one()) {
    }
  }
  // The command code of the request served last.
  std::int32_t last_command() const;

 private:
  bool read_request();
  // Reads what the pipe has, up to the buffer's end, after the `held_` bytes there.
  bool read_more();
  bool reply(std::int32_t command, std::int32_t first, std::int32_t second = 0);
  bool send_data(std::int32_t handle, std::int32_t wanted);
  bool write_record(int length);
  // A NUL-terminated name in the request from offset, within limit bytes; false when it has no NUL there.
  bool name_at(int offset, int limit, std::string_view &name) const;

  FileService &files_;
  int request_fd_;
  int reply_fd_;
  int request_length_ = 0;  // of the request being served, at the buffer's start
  int held_ = 0;            // bytes read into the buffer: that request and what followed it
  std::vector<unsigned char> request_;
  std::vector<unsigned char> reply_;
};

}  // namespace icf2html
