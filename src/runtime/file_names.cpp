// Path parts and name building.
#include "runtime/file_names.h"

#include <cstring>
#include <string_view>

#include "runtime/memory.h"
#include "runtime/strings.h"

namespace kiv {

int GetFileName(char *out, const char *path, int part) {
  ScopedBlock work(max_filename);
  if (!work) return -1;
  copy_bounded(work.get<char>(), max_filename, path);
  const std::string_view p(work.get<char>());
  const auto at = p.find_last_of("/:");
  const std::size_t start = at == std::string_view::npos ? 0 : at + 1;
  const std::string_view component = p.substr(start);
  const auto dot = component.rfind('.');
  std::string_view result;
  if (part == 0) result = component.substr(0, dot);
  else if (part == 1) result = p.substr(0, start);
  else if (part == 2 && dot != std::string_view::npos) result = component.substr(dot + 1);
  copy_bounded(out, result.size() + 1, result);
  return 0;
}

int BuildFileName(const char *dir, const char *name, const char *ext, int, char *out) {
  const bool with_ext = ext && *ext;
  const std::string_view parts[] = {dir ? dir : "", name ? name : "", with_ext ? "." : "", with_ext ? ext : ""};
  std::size_t length = strnlen(out, max_filename);
  std::size_t total = length;
  for (std::string_view part : parts) total += part.size();
  if (total >= max_filename) return -1;
  for (std::string_view part : parts) {
    std::memcpy(out + length, part.data(), part.size());
    length += part.size();
  }
  out[length] = '\0';
  return 0;
}

}  // namespace kiv
