// The identifier's own readers of untrusted files: the compound-file directory
// walk and the table of common formats with the text test, over any bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "compound_documents.h"
#include "identify_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const int fd = memfd_create("identify", 0);
  if (fd == -1) return 0;
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const auto document = identify::compound_document(fd);
  close(fd);
  const std::span<const unsigned char> head(data, std::min<std::size_t>(size, 4096));
  // Every library answer takes its own road through the decision; 0 asks the tables.
  for (const int code : {0, 1, 108, 770, 512})
    identify::decide(head, code, 0, document ? &*document : nullptr);
  return 0;
}
