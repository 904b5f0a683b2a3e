// Streaming translation of one file into another for the command-line tools
// ("-" is the standard stream): the input is read in fixed pieces and each
// piece's translation written at once, so memory stays constant.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tool_files {

enum class Outcome { done, cannot_read, cannot_write, malformed };

// Runs `feed(piece, out)` over the input and `finish(out)` at its end, writing
// `out` after each call; both return false on malformed input. A partly
// written output file is removed when the translation fails.
template <typename Feed, typename Finish>
Outcome translate(const char *in_name, const char *out_name, Feed feed, Finish finish) {
  const bool standard_in = std::string_view(in_name) == "-";
  const bool standard_out = std::string_view(out_name) == "-";
  std::FILE *in = standard_in ? stdin : std::fopen(in_name, "rb");
  if (!in) return Outcome::cannot_read;
  std::FILE *out = standard_out ? stdout : std::fopen(out_name, "wb");
  if (!out) {
    if (!standard_in) std::fclose(in);
    return Outcome::cannot_write;
  }
  Outcome outcome = Outcome::done;
  std::string translated;
  char piece[65536];
  const auto flush = [&] {
    if (std::fwrite(translated.data(), 1, translated.size(), out) != translated.size()) outcome = Outcome::cannot_write;
    translated.clear();
  };
  for (std::size_t n; outcome == Outcome::done && (n = std::fread(piece, 1, sizeof piece, in)) > 0;) {
    if (!feed(std::string_view(piece, n), translated)) outcome = Outcome::malformed;
    flush();
  }
  if (outcome == Outcome::done && std::ferror(in)) outcome = Outcome::cannot_read;
  if (outcome == Outcome::done) {
    if (!finish(translated)) outcome = Outcome::malformed;
    flush();
  }
  if (!standard_in) std::fclose(in);
  const bool closed = (standard_out ? std::fflush(out) : std::fclose(out)) == 0;
  if (outcome == Outcome::done && !closed) outcome = Outcome::cannot_write;
  if (outcome != Outcome::done && !standard_out) std::remove(out_name);
  return outcome;
}

}  // namespace tool_files
