// Recognition driver and the exported recognition entry points. A file is read
// once (its first 4096 bytes); the compound-file recogniser may seek and read more
// of it before the file is closed and the block recognisers run on a working copy.
#include "recognition/autorec.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "recognition/compound_recognition.h"
#include "recognition/recogniser_list.h"
#include "runtime/memory.h"

namespace kiv {

AutoRecState autorec_state;

namespace {

// Reads until count bytes came, the end of the file or an error.
int read_fully(int fd, unsigned char *buffer, int count) {
  int total = 0;
  while (total < count) {
    const ssize_t n = ::read(fd, buffer + total, static_cast<std::size_t>(count - total));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += static_cast<int>(n);
  }
  return total;
}

void copy_name(const char *name) {
  auto &copy = autorec_state.name;
  const std::size_t n = ::strnlen(name, copy.size() - 1);
  std::memcpy(copy.data(), name, n);
  copy[n] = '\0';
}

int recognise_file(const char *name, int expected, int *variant, const KIVAutoRecHooks *hooks) {
  autorec_state = {};
  if (name == nullptr) return autorec_cannot_open;
  copy_name(name);
  ScopedBlock buffer(read_size);
  if (!buffer) return autorec_no_memory;
  unsigned char *data = buffer.get();
  int got = 0;
  int result = 0;
  if (hooks == nullptr) {
    const int fd = ::open(name, O_RDONLY | O_NONBLOCK);
    if (fd < 0) return autorec_cannot_open;
    got = read_fully(fd, data, read_size);
    if (got < 1) {
      ::close(fd);
      return autorec_nothing_read;
    }
    autorec_state.f_num = fd;
    autorec_state.CurFH = fd;
    result = auto_OLE2Formats(data, got, AutoSeek, AutoRead);
    if (variant != nullptr) *variant = autorec_state.ver;
    ::close(fd);
    autorec_state.f_num = -1;
    autorec_state.CurFH = -1;
  } else {
    if (hooks->open == nullptr) return autorec_cannot_open;
    const int handle = hooks->open(name, 1, 1);
    if (handle == -1) return autorec_cannot_open;
    got = hooks->read != nullptr ? hooks->read(handle, data, read_size) : 0;
    // A host answering more than it was asked for gets no more than the buffer.
    got = std::min(got, read_size);
    if (hooks->close != nullptr) hooks->close(handle);
    if (got < 1) return autorec_nothing_read;
  }
  if (result == 0) result = AutoRecBlock(data, got, expected, variant);
  return result;
}

}  // namespace

int AutoRead(void *buffer, int count) {
  if (autorec_state.CurFH < 0 || buffer == nullptr || count <= 0) return 0;
  return read_fully(autorec_state.CurFH, static_cast<unsigned char *>(buffer), count);
}

int AutoSeek(long offset) {
  if (autorec_state.CurFH < 0) return -1;
  return ::lseek(autorec_state.CurFH, offset, SEEK_SET) == static_cast<off_t>(-1) ? -1 : 0;
}

int AutoRecFindFormat(int expected) {
  AutoRecState &s = autorec_state;
  if (expected != 0) {
    if (const ExpectedRecogniser *row = find_expected_recogniser(expected)) {
      s.MinorVal = 1;
      int result = row->first();
      if (result == 0 && row->then != nullptr) result = row->then();
      s.MinorVal = 0;
      if (result != 0) return result;
    }
  }
  for (const Recogniser &r : recogniser_list) {
    if (const int result = r.test(); result != 0) return result;
  }
  return 0;
}

}  // namespace kiv

extern "C" {

ICF2HTML_API int AutoRecBlock(const unsigned char *data, int length, int expected, int *variant) {
  using namespace kiv;
  AutoRecState &s = autorec_state;
  s.MinorVal = 0;
  s.ver = 0;
  // Nothing to look at is answered as for a file that gave no bytes.
  if (data == nullptr || length < 1) return autorec_nothing_read;
  const auto size = static_cast<std::size_t>(std::max(length, working_minimum));
  auto *copy = static_cast<unsigned char *>(KIVmalloc(size));
  if (copy == nullptr) return autorec_no_memory;
  std::memcpy(copy, data, static_cast<std::size_t>(length));  // the rest stays cleared
  s.bufr = copy;
  s.len = length;
  const int result = AutoRecFindFormat(expected);
  if (variant != nullptr) *variant = result != 0 ? s.ver : 0;
  s.bufr = nullptr;
  s.len = 0;
  KIVfree(copy);
  return result;
}

ICF2HTML_API int AutoRecFile(const char *name, int expected, int *variant, const KIVAutoRecHooks *hooks) {
  try {
    return kiv::recognise_file(name, expected, variant, hooks);
  } catch (...) {
    return kiv::autorec_no_memory;
  }
}

ICF2HTML_API int autorec(const char *name, int *variant) { return AutoRecFile(name, 0, variant, nullptr); }

ICF2HTML_API int AutoRecExp(const char *name, int expected, int *variant) {
  return AutoRecFile(name, expected, variant, nullptr);
}

ICF2HTML_API int KIVGetFileFormat(const char *name, int *variant) { return autorec(name, variant); }

}  // extern "C"
