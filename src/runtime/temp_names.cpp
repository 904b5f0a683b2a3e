// Temporary file names and the name and clock routines.
#include "runtime/temp_names.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

#include "runtime/file_layer.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "runtime/strings.h"

namespace kiv {

TempNameState temp_names;

namespace {
constexpr int max_filename = 512;
constexpr std::size_t temp_name_size = 256;
// A directory where nothing can be created would make the search endless.
constexpr int max_name_tries = 10000;
}  // namespace

int gen_fnam(const char *base, char *out) {
  if (temp_names.CurTempNum == 0) {
    unsigned char clock[8];
    getclk(clock);
    temp_names.CurTempNum = clock[4] * 65536L + clock[5] * 256L + clock[6];
    if (temp_names.CurTempNum == 0) temp_names.CurTempNum = 1;
  }
  const std::string_view b(base);
  const auto at = b.find_last_of("\\/:");
  const std::string_view dir = at == std::string_view::npos ? std::string_view() : b.substr(0, at + 1);
  if (dir.size() + 13 >= temp_name_size) return -1;
  for (int tries = 0; tries < max_name_tries; ++tries) {
    const long n = temp_names.CurTempNum++;
    std::snprintf(out, temp_name_size, "%.*sKV%06ld.TMP", static_cast<int>(dir.size()), dir.data(), n % 1000000);
    if (std::strcmp(out, settings.icfname) == 0) continue;
    if (CheckExist(out) != 0) {
      const int h = KIVopen(out, open_create, kind_temporary);
      if (h != -1) {
        KIVclose(h);
        return 0;
      }
    }
  }
  return -1;
}

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
  if (dir) std::strcat(out, dir);
  if (name) std::strcat(out, name);
  if (ext && *ext) {
    std::strcat(out, ".");
    std::strcat(out, ext);
  }
  return 0;
}

int getclk(unsigned char *buf) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  buf[0] = static_cast<unsigned char>(local.tm_wday);
  buf[1] = static_cast<unsigned char>(local.tm_year + 1900 - 1980);
  buf[2] = static_cast<unsigned char>(local.tm_mon + 1);
  buf[3] = static_cast<unsigned char>(local.tm_mday);
  buf[4] = static_cast<unsigned char>(local.tm_hour);
  buf[5] = static_cast<unsigned char>(local.tm_min);
  buf[6] = static_cast<unsigned char>(local.tm_sec);
  buf[7] = 0;
  return 0;
}

std::uint16_t irev(std::uint16_t v, int order) {
  return order == 1 ? v : static_cast<std::uint16_t>((v >> 8) | (v << 8));
}

std::uint32_t lrev(std::uint32_t v, int order) {
  return order == 1 ? v : __builtin_bswap32(v);
}

int GetMaxFilenmLen() { return max_filename; }
int GetCurrentCodePage() { return 437; }
int openDatFile(const char *) { return -1; }

}  // namespace kiv
