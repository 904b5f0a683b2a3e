// Picture file names and the copying of picture bytes.
#include "objects/picture_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string_view>

#include <icf2html.h>

#include "runtime/error_exit.h"
#include "runtime/file_layer.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "runtime/strings.h"
#include "runtime/temp_names.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"

namespace kiv {

PictureFileState picture_files;

namespace {

// Picture bytes move in chunks of this size.
constexpr int chunk_size = 5000;
// The six-digit counter has a million names; a folder where none is free ends the search.
constexpr int max_name_tries = 1'000'000;

std::size_t directory_length(std::string_view path) {
  const auto at = path.find_last_of("\\/:");
  return at == std::string_view::npos ? 0 : at + 1;
}

// Appends "GR", free six-digit numbers and "." extension to the prefix of
// length keep already in out, until a name that is not taken is found.
int next_free_gr_name(char *out, std::size_t keep, const char *extension) {
  for (int tries = 0; tries < max_name_tries; ++tries) {
    const long n = picture_files.GraphTempNum++ % 1000000;
    const int written = std::snprintf(out + keep, picture_name_size - keep, "GR%06ld.%s", n, extension);
    if (written < 0 || keep + static_cast<std::size_t>(written) >= picture_name_size) return -1;
    if (!picture_name_taken(out)) return 0;
  }
  return -1;
}

// Files go through the host's hooks, pipes or a queue unless both bits are clear.
bool local_files() { return (settings.optflags & (opt_host_files | opt_pipes)) == 0; }

}  // namespace

void reset_picture_files() { picture_files = {}; }

bool picture_name_taken(const char *name) {
  if (!local_files()) return KIVCheckExist(name) == 0;
  // A dangling link is taken too: nothing is ever written through one.
  struct stat info{};
  return lstat(name, &info) == 0;
}

int GenGrBaseName(const char *basePath, char *out, const char *extension) {
  const std::string_view base(basePath ? basePath : "");
  const std::size_t keep = directory_length(base);
  if (keep >= picture_name_size) return -1;
  std::memcpy(out, base.data(), keep);
  return next_free_gr_name(out, keep, extension);
}

int GenGrEmbedName(const char *sourceName, const char *basePath, char *out) {
  const std::string_view base(basePath ? basePath : "");
  const std::size_t keep = directory_length(base);
  if (keep >= picture_name_size) return -1;
  std::memcpy(out, base.data(), keep);
  const std::string_view source(sourceName ? sourceName : "");
  const std::string_view component = source.substr(directory_length(source));
  // A component that names no file of its own never makes a path out of the folder.
  const bool usable = !component.empty() && component != "." && component != "..";
  if (usable && keep + component.size() < picture_name_size) {
    std::memcpy(out + keep, component.data(), component.size());
    out[keep + component.size()] = '\0';
    if (!picture_name_taken(out)) return 0;
  }
  return next_free_gr_name(out, keep, "GRX");
}

void read_name_parameter(char *out, int size, bool drop_quotes) {
  int length = 0;
  for (;;) {
    const int c = b_getc();
    if (c == end_of_input || c == US) break;
    if (c == RS) {
      b_unget(c);
      break;
    }
    if (c == ESC) {
      x_icf();
      continue;
    }
    if (drop_quotes && c == '"') continue;
    if (length < size - 1) out[length++] = static_cast<char>(c);
  }
  out[length] = '\0';
}

int make_temporary_picture(char *out) { return gen_fnam(settings.icfname, out); }

void remove_picture_file(const char *name, bool keep_allowed) {
  if (!name || !*name) return;
  if (keep_allowed && (GraphicsOptionFlag & 0x002)) return;
  if (!local_files()) {
    KIVunlink(name);
    return;
  }
  // A device, a pipe or a link that took the name is never removed.
  struct stat info{};
  if (lstat(name, &info) == 0 && S_ISREG(info.st_mode)) KIVunlink(name);
}

int hex_data_to_file(const char *name, int kind) {
  const int h = KIVopen(name, open_create, kind);
  if (h == -1) return -1;
  unsigned char chunk[chunk_size];
  int filled = 0;
  bool failed = false;
  for (;;) {
    const int byte = GetHex8();
    if (byte == -1 || filled == chunk_size) {
      if (filled > 0 && KIVwrite(h, chunk, filled) != filled) failed = true;
      filled = 0;
    }
    if (byte == -1 || failed) break;
    chunk[filled++] = static_cast<unsigned char>(byte);
  }
  KIVclose(h);
  if (failed) {
    remove_picture_file(name, false);
    return -1;
  }
  return 0;
}

namespace {

template <typename Put>
int copy_file_as_hex(const char *name, Put put) {
  const int h = KIVopen(name, open_read, kind_temporary);
  if (h == -1) return -1;
  ScopedBlock chunk(chunk_size);
  if (!chunk) {
    KIVclose(h);
    return exit_no_memory;
  }
  constexpr std::string_view digits = "0123456789ABCDEF";
  for (;;) {
    const int got = KIVread(h, chunk.get(), chunk_size);
    if (got <= 0) break;
    for (int i = 0; i < got; ++i) {
      const unsigned char byte = chunk.get()[i];
      put(digits[byte >> 4]);
      put(digits[byte & 15]);
    }
  }
  KIVclose(h);
  return 0;
}

}  // namespace

int file_to_hex(const char *name) {
  return copy_file_as_hex(name, [](char c) { b_putc(static_cast<unsigned char>(c)); });
}

int file_to_hex_sink(const char *name, int (*sink)(int)) {
  return copy_file_as_hex(name, [sink](char c) { sink(static_cast<unsigned char>(c)); });
}

}  // namespace kiv
