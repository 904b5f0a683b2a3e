// Fuzz target: the extents file a converter program leaves behind. The bytes
// are parsed directly and compared with a reading of their own (white-space
// separated words, each read by std::from_chars), then written as the extents
// file of a run and read back through SetGraphicsExtentsPointer, which must
// give the same values (0, 0 for a bad file) and delete the file.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "objects/graphic_converters.h"
#include "support/fuzz_workspace.h"

namespace {

bool space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The same reading by other means: exactly two words, each all of it a
// decimal that fits 32 bits (a leading '+' allowed).
bool reference_reading(std::string_view text, std::array<int, 2> &out) {
  if (text.size() > kiv::extents_text_max) return false;
  std::vector<std::string_view> words;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && space(text[pos])) ++pos;
    const std::size_t start = pos;
    while (pos < text.size() && !space(text[pos])) ++pos;
    if (pos > start) words.push_back(text.substr(start, pos - start));
  }
  if (words.size() != 2) return false;
  std::array<int, 2> values{};
  for (std::size_t k = 0; k < 2; ++k) {
    std::string_view word = words[k];
    if (word.size() > 1 && word[0] == '+' && word[1] != '-') word.remove_prefix(1);
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size()) return false;
    values[k] = value;
  }
  out = values;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::span<const unsigned char> bytes(data, size);
  std::array<int, 2> parsed{7, 7};
  const bool ok = kiv::parse_extents(bytes, parsed);
  std::array<int, 2> expected{7, 7};
  const bool expected_ok = reference_reading(std::string_view(reinterpret_cast<const char *>(data), size), expected);
  if (ok != expected_ok || parsed != expected) std::abort();

  if (ok) {  // the values written back as a converter writes them read the same
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%d\n%d\n", parsed[0], parsed[1]);
    std::array<int, 2> again{};
    if (!kiv::parse_extents(std::span(reinterpret_cast<const unsigned char *>(text), static_cast<std::size_t>(n)), again) ||
        again != parsed)
      std::abort();
  }

  const std::string name = test_support::fuzz_work_dir() + "/extents";
  std::FILE *f = std::fopen(name.c_str(), "wb");
  if (!f) std::abort();
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::snprintf(kiv::graphic_converters.EnvFilename, sizeof kiv::graphic_converters.EnvFilename, "%s", name.c_str());
  kiv::SetGraphicsExtentsPointer(nullptr);
  const std::array<int, 2> none{0, 0};
  if (kiv::graphic_converters.GraphicObjectExtents != (ok ? parsed : none)) std::abort();
  struct stat info{};
  if (lstat(name.c_str(), &info) == 0) std::abort();  // read files are deleted
  return 0;
}
