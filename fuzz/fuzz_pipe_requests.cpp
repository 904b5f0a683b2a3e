// Fuzz target: request streams that a converter child sends its controller on
// the pipe route. The first byte chooses the record length; the rest is what
// the child wrote. The controller serves the records in turn, inside a private
// folder of its own that is emptied after every input; replies go to
// /dev/null. A child is untrusted: whatever it sends, the controller must stay
// within the conversion's own files and never read or write out of bounds.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "file_service.h"
#include "pipe_server.h"

namespace {

constexpr std::array<int, 4> record_lengths = {256, 300, 4096, 65536};

// The controller's folder: the user's input beside a private folder. A plain
// array, still readable when the exit handler removes the folder.
char root_name[256];

const char *controller_folder() {
  if (root_name[0] != '\0') return root_name;
  const char *base = std::getenv("TMPDIR");
  std::snprintf(root_name, sizeof root_name, "%s/fuzz-pipe-requests-XXXXXX", base && *base ? base : "/tmp");
  if (!mkdtemp(root_name)) std::abort();
  const std::string root = root_name;
  std::filesystem::create_directory(root + "/private");
  if (FILE *input = std::fopen((root + "/user.icf").c_str(), "wb")) {
    std::fputs("\x1b\x1d" "DID1\x1f\x1e" "the user's stream", input);
    std::fclose(input);
  }
  std::atexit([] { std::filesystem::remove_all(root_name); });
  return root_name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0) return 0;
  const std::string root = controller_folder();
  const int requests = memfd_create("requests", 0);
  const int replies = open("/dev/null", O_WRONLY);
  if (requests == -1 || replies == -1) std::abort();
  if (size > 1 && write(requests, data + 1, size - 1) != static_cast<ssize_t>(size - 1)) std::abort();
  lseek(requests, 0, SEEK_SET);
  {
    icf2html::FileService files({root + "/private", ".input", root + "/user.icf", "site/", "page.html", "page"});
    icf2html::PipeServer server(files, requests, replies, record_lengths[data[0] & 3]);
    while (server.serve_one() == icf2html::Served::answered) {
    }
  }
  close(requests);
  close(replies);
  std::error_code ignored;
  for (const auto &entry : std::filesystem::directory_iterator(root + "/private", ignored))
    std::filesystem::remove_all(entry.path(), ignored);
  return 0;
}
