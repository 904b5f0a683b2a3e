// The controller's end of the message-queue route: takes the converter's
// requests (type 4) from a System V queue, has the file service carry them out
// and answers with type 3; read and write data travel in the converter's
// shared-memory segments. Progress messages (type 1) are taken and dropped.
#pragma once

#include "file_service.h"

namespace icf2html {

class QueueServer {
 public:
  QueueServer(FileService &files, int queue_id) : files_(files), queue_id_(queue_id) {}
  // Answers one request; false when asked to stop or when the queue is gone.
  bool serve_one();
  void serve_all() {
    while (serve_one()) {
    }
  }
  // Asks a serving thread to stop once the requests before it are answered.
  static void request_stop(int queue_id);

 private:
  FileService &files_;
  int queue_id_;
};

}  // namespace icf2html
