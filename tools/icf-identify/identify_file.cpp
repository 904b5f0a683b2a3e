// One file from name to answer: its kind, its first bytes, the library's
// recognition and the identifier's own tables, in that order of trust.
#include "identify_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

#include <icf2html.h>

#include "common_formats.h"
#include "compound_documents.h"
#include "format_names.h"

namespace identify {

namespace {

// The library reads as many bytes; the identifier's own tables look at the same.
constexpr std::size_t head_size = 4096;

// Library answers from recognisers that decide on a handful of bytes or on
// byte counts that files of other formats reach by chance (plain text,
// WordStar, WordPerfect 4 and Macintosh 1, HTML, MacPaint, HP-GL, dBASE):
// the identifier's own table is asked before these.
constexpr std::array weak_answers = {1, 4, 6, 59, 108, 508, 604, 770};

bool is_weak(int code) { return std::ranges::find(weak_answers, code) != weak_answers.end(); }

// A weak answer for a text format stands only when the bytes bear it out:
// text for plain text, and markup from the first visible character for HTML
// (the library finds a tag anywhere, also inside a script).
bool confirmed(int code, std::span<const unsigned char> head, Text text) {
  if (code == 1) return text != Text::none;
  if (code == 108) {
    const auto visible = std::ranges::find_if(head, [](unsigned char c) { return c > ' ' && c != 0xef && c != 0xbb && c != 0xbf; });
    return text != Text::none && visible != head.end() && *visible == '<';
  }
  return true;
}

std::string_view text_description(Text text) {
  switch (text) {
    case Text::utf8: return "UTF-8 text";
    case Text::eight_bit: return "8-bit text";
    default: return "ASCII text";
  }
}

Identity named(std::string_view description, std::string_view mime) { return {description, mime}; }

Outcome failed(std::string_view what, int error_number) {
  Outcome o;
  o.failure = std::string(what) + " (" + std::strerror(error_number) + ")";
  return o;
}

// The kinds file names have that are not formats: nothing to read in them.
std::optional<Identity> special_kind(const struct stat &info) {
  if (S_ISDIR(info.st_mode)) return named("directory", "inode/directory");
  if (S_ISFIFO(info.st_mode)) return named("fifo (named pipe)", "inode/fifo");
  if (S_ISCHR(info.st_mode)) return named("character special", "inode/chardevice");
  if (S_ISBLK(info.st_mode)) return named("block special", "inode/blockdevice");
  if (S_ISSOCK(info.st_mode)) return named("socket", "inode/socket");
  return std::nullopt;
}

// Reads up to head_size bytes; false with errno set on a read error.
bool read_head(int fd, std::array<unsigned char, head_size> &head, std::size_t &got) {
  got = 0;
  while (got < head.size()) {
    const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

Identity library_identity(int code, int variant) {
  const FormatName f = library_format(code);
  return {f.description, f.mime, true, code, variant};
}

}  // namespace

Identity decide(std::span<const unsigned char> head, int code, int variant, const CompoundDocument *compound) {
  Identity answer;
  const Text text = looks_like_text(head);
  if (compound) {
    answer = named(compound->description, compound->mime);
  } else if (code > 0 && !is_weak(code)) {
    answer = library_identity(code, variant);
  } else if (const auto common = common_format(head)) {
    answer = named(common->description, common->mime);
  } else if (code > 0 && confirmed(code, head, text)) {
    answer = library_identity(code, variant);
  } else if (is_compound_file(head)) {
    answer = named("compound document file", "application/x-ole-storage");
  } else if (text != Text::none) {
    answer = named(text_description(text), "text/plain");
  } else {
    answer = named("data", "application/octet-stream");
  }
  // The library's numbers stay available whatever the words say.
  answer.recognised = true;
  answer.code = code;
  answer.variant = variant;
  return answer;
}

Outcome identify_name(const std::string &name) {
  const bool standard_input = name == "-";
  int fd = STDIN_FILENO;
  if (!standard_input) {
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) return failed("cannot open", errno);
    if (const auto kind = special_kind(info)) return {*kind, {}};
    fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd == -1) return failed("cannot open", errno);
  }
  std::array<unsigned char, head_size> head{};
  std::size_t got = 0;
  const bool read_ok = read_head(fd, head, got);
  const int read_error = errno;
  std::optional<CompoundDocument> compound;
  if (read_ok && is_compound_file(std::span(head.data(), got))) compound = compound_document(fd);
  if (!standard_input) ::close(fd);
  if (!read_ok) return failed("cannot read", read_error);
  if (got == 0) return {named("empty", "inode/x-empty"), {}};

  int variant = 0;
  // A file is recognised by name, so that compound files are looked into;
  // standard input only from the bytes read.
  int code = standard_input ? -2 : autorec(name.c_str(), &variant);
  if (code < 0) code = AutoRecBlock(head.data(), static_cast<int>(got), 0, &variant);
  if (code == -3) return {{}, "cannot recognise (out of memory)"};
  return {decide(std::span(head.data(), got), code, variant, compound ? &*compound : nullptr), {}};
}

}  // namespace identify
