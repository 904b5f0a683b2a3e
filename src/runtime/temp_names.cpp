// Temporary file names.
#include "runtime/temp_names.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "runtime/clock.h"
#include "runtime/file_layer.h"
#include "runtime/options.h"

namespace kiv {

TempNameState temp_names;

namespace {
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

}  // namespace kiv
