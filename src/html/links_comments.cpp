// Links, bookmarks and comments.
#include "html/links_comments.h"

#include <string>
#include <utility>

#include "common/ascii.h"
#include "html/attributes_fonts.h"
#include "html/code_table.h"
#include "html/dispatch.h"
#include "html/output.h"
#include "html/writer.h"
#include "runtime/options.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"

namespace kiv {

LinksState links;

namespace {

// XRF kinds.
constexpr std::int32_t xrf_link = 0;
constexpr std::int32_t xrf_anchor = 1;
constexpr std::int32_t xrf_other = 2;
constexpr std::int32_t xrf_anchor_too = 3;
constexpr std::int32_t xrf_link_start = 4;
constexpr std::int32_t xrf_link_end = 5;

// Target classes up to this one are places in this document.
constexpr std::int32_t last_local_class = 11;

constexpr std::array<std::string_view, 5> allowed_schemes = {"http", "https", "mailto", "ftp", "file"};

// The character a reference at text (just after its "&") stands for, with the
// length it takes; a text that is no reference stands for "&" itself.
std::pair<int, std::size_t> decode_reference(std::string_view text) {
  if (!text.empty() && text[0] == '#') {
    const bool hex = text.size() > 1 && (text[1] == 'x' || text[1] == 'X');
    std::size_t i = hex ? 2 : 1;
    long value = 0;
    const std::size_t digits_start = i;
    for (; i < text.size(); ++i) {
      const int digit = hex ? hex_value(text[i]) : (is_digit(text[i]) ? text[i] - '0' : -1);
      if (digit < 0) break;
      if (value < 0x110000) value = value * (hex ? 16 : 10) + digit;
    }
    if (i == digits_start) return {'&', 0};
    if (i < text.size() && text[i] == ';') ++i;
    return {value < 0x110000 ? static_cast<int>(value) : 0xFFFD, i};
  }
  // Named references that can spell a scheme's separator or hide characters.
  constexpr std::array<std::pair<std::string_view, int>, 6> named = {{
      {"colon;", ':'}, {"Tab;", '\t'}, {"NewLine;", '\n'}, {"amp;", '&'}, {"sol;", '/'}, {"num;", '#'},
  }};
  for (const auto &[name, value] : named)
    if (text.substr(0, name.size()) == name) return {value, name.size()};
  return {'&', 0};
}

void put_href(std::int32_t target_class) {
  put_str(target_class <= last_local_class ? "<A HREF=\"#" : "<A HREF=\"");
  // Names and texts are written as read (escaped only for untrusted documents).
  put_document_text(links.target.data());
  put_str("\">");
}

// A link that may be written: every place inside the document, and any
// target when the document is trusted.
bool may_link(std::int32_t target_class) {
  return !settings.untrusted_output || target_class <= last_local_class ||
         link_target_allowed(links.target.data());
}

}  // namespace

int tt_xrf(fmt_info *rec, std::int32_t) {
  const std::int32_t kind = get_hex();
  const std::int32_t target_class = get_dec();
  get_str(links.target.data(), link_text_max);
  get_str(links.text.data(), link_text_max);
  x_icf();
  if (writer.in_xrf && kind != xrf_other && kind != xrf_link_end) return 0;
  // Deliberate: only pending changes are written first. An anchor or link
  // before the document's first text therefore comes before the head, which
  // the first text writes; a stream with anchors and no text gets no head.
  if (rec->changed) CheckChanged(rec);
  switch (kind) {
    case xrf_link:
      if (may_link(target_class)) {
        put_href(target_class);
        put_document_text(links.text.data());
        put_str("</A>");
      } else {
        put_document_text(links.text.data());
      }
      writer.in_xrf = 0;
      break;
    case xrf_anchor:
    case xrf_anchor_too:
      put_str("<A NAME=\"");
      put_document_text(links.target.data());
      put_str("\"></A>");
      writer.in_xrf = 0;
      break;
    case xrf_link_start:
      links.open_link_hidden = !may_link(target_class);
      if (!links.open_link_hidden) put_href(target_class);
      writer.in_xrf = 1;
      break;
    case xrf_link_end: close_open_link(); break;
    default: break;
  }
  return 0;
}

int tt_cmt(fmt_info *rec, std::int32_t code_number) {
  CheckChanged(rec);
  if (code_number == close_selector) {
    put_str(" -->", end_line);
    x_icf();
    return 0;
  }
  put_str("<!-- ");
  icf_stack(rec, 1, code_number);
  return 0;
}

void reset_links_comments() { links = {}; }

void close_open_link() {
  if (!writer.in_xrf) return;
  if (!links.open_link_hidden) put_str("</A>");
  writer.in_xrf = 0;
  links.open_link_hidden = false;
}

bool link_target_allowed(std::string_view target) {
  // What a browser takes for the scheme: references decoded, leading blanks
  // and control characters skipped, tabs and line ends inside ignored.
  std::string scheme;
  for (std::size_t i = 0; i < target.size();) {
    int c = static_cast<unsigned char>(target[i]);
    std::size_t length = 1;
    if (c == '&') {
      const auto [value, taken] = decode_reference(target.substr(i + 1));
      c = value;
      length = taken + 1;
    }
    i += length;
    if (c <= 0x20 || c == 0x7F) {
      if (scheme.empty() || c == '\t' || c == '\n' || c == '\r') continue;
      return false;  // a blank inside a scheme: no scheme a browser would run
    }
    if (c == ':') {
      for (std::string_view allowed : allowed_schemes)
        if (scheme == allowed) return true;
      return false;
    }
    // Before any of these there was no scheme: the target is relative.
    if (c == '/' || c == '?' || c == '#') return true;
    scheme.push_back(static_cast<char>(c < 0x80 ? to_lower_ascii(c) : 0x80));
  }
  return true;
}

}  // namespace kiv
