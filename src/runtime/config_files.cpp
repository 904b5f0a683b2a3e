// Configuration files.
#include "runtime/config_files.h"

#include "runtime/file_layer.h"
#include "runtime/memory.h"
#include "runtime/options.h"

namespace kiv {

ConfigFilesState config_files;

void reset_config_files() { config_files = {}; }

namespace {
constexpr std::size_t line_buffer_size = 1024;
constexpr int end_of_file_mark = 0x1A;
// A configuration file may name another; a file that names itself would recurse
// without end, so nesting stops here.
constexpr int max_nesting = 8;

struct NestingGuard {
  NestingGuard() { ++config_files.nesting; }
  ~NestingGuard() { --config_files.nesting; }
};
}  // namespace

const char *CopyConfigurationOption(const char *p, char *line, std::size_t line_size) {
  std::size_t n = 0;
  while (*p && *p != '\r' && *p != '\n') {
    if (n + 1 < line_size) line[n++] = *p;
    ++p;
  }
  line[n] = '\0';
  while (*p == '\r' || *p == '\n') ++p;
  return p;
}

std::uint32_t LoadConfiguration(const char *file) {
  if (config_files.nesting >= max_nesting) return 0;
  const NestingGuard guard;
  const long size = GETSIZE(file);
  if (size < 0 || size > 0x7FFFFFF0L) return 0;
  ScopedBlock text(static_cast<std::size_t>(size) + 10);
  ScopedBlock line(line_buffer_size);
  if (!text || !line) return 0;
  const int h = KIVopen(file, open_read, kind_plain);
  if (h == -1) return 0;
  unsigned char *bytes = text.get();
  long done = 0;
  while (done < size) {
    const int n = KIVread(h, bytes + done, static_cast<int>(size - done));
    if (n <= 0) break;
    done += n;
  }
  KIVclose(h);
  if (done != size) return 0;

  long end = 0;
  while (end < size && bytes[end] != end_of_file_mark) ++end;
  bytes[end] = '\r';
  bytes[end + 1] = '\n';
  bytes[end + 2] = '\0';

  const char *p = text.get<char>();
  while (*p == ' ') ++p;
  std::uint32_t result = 0;
  while (*p) {
    p = CopyConfigurationOption(p, line.get<char>(), line_buffer_size);
    result |= CmdParseLine(line.get<char>());
  }
  return result;
}

}  // namespace kiv
