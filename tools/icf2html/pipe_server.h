// The controller's end of the pipe route: reads request records from the
// converter, has the file service carry them out and writes the replies.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "file_service.h"

namespace icf2html {

// The record a converter child writes on its request pipe when a job ends
// (its exit code) and when it is ready for the next (the ready byte): the
// controller then waits on that pipe alone, with no poll before each request.
std::array<unsigned char, 256> converter_status_record(unsigned char status);

// What serving the next record came to.
enum class Served {
  answered,     // a request, answered
  status,       // the converter's status record: converter_status() tells it
  interrupted,  // a signal interrupted the wait; what came of the record is kept for the next call
  ended,        // the end of the request pipe, or a record that breaks the layout
};

class PipeServer {
 public:
  // record_length is the BP= length the converter was given.
  PipeServer(FileService &files, int request_fd, int reply_fd, int record_length);

  // Reads the next record (from what an earlier read brought, when it holds
  // one whole: a read of nothing gets no reply, so the next request can
  // follow it at once) and answers it when it is a request.
  Served serve_one();
  // The command code of the record served last.
  std::int32_t last_command() const;
  // The byte of the status record served last.
  unsigned char converter_status() const;

 private:
  enum class Read { whole, interrupted, ended };
  Read read_request();
  // Reads what the pipe has, up to the buffer's end, after the `held_` bytes there.
  Read read_more();
  bool answer();
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
