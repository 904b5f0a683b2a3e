// The controller's end of the pipe route: reads request records from the
// converter, has the file service carry them out and writes the replies.
#pragma once

#include <cstdint>
#include <vector>

#include "file_service.h"

namespace icf2html {

class PipeServer {
 public:
  // record_length is the BP= length the converter was given; stop_fd, when
  // readable, ends the service (the converter is gone).
  PipeServer(FileService &files, int request_fd, int reply_fd, int record_length, int stop_fd = -1);

  // Reads one request and answers it. False at the end of the request pipe,
  // when stop_fd fires, or for a record that breaks the layout.
  bool serve_one();
  void serve_all() {
    while (serve_one()) {
    }
  }
  // The command code of the request served last.
  std::int32_t last_command() const;

 private:
  bool read_request();
  bool reply(std::int32_t command, std::int32_t first, std::int32_t second = 0);
  bool send_data(std::int32_t handle, std::int32_t wanted);
  bool write_record(int length);
  // A NUL-terminated name in the request from offset, within limit bytes; false when it has no NUL there.
  bool name_at(int offset, int limit, std::string_view &name) const;

  FileService &files_;
  int request_fd_;
  int reply_fd_;
  int stop_fd_;
  int request_length_ = 0;
  std::vector<unsigned char> request_;
  std::vector<unsigned char> reply_;
};

}  // namespace icf2html
