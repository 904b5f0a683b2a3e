// Links, bookmarks and comments: XRF codes become anchors and links, CMT codes
// HTML comments whose text the main loop converts like running text.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "html/format_record.h"

namespace kiv {

// Longest target, anchor name or link text kept; longer ones are cut.
inline constexpr int link_text_max = 254;

// The two texts of the XRF code being handled (room for the longest and its NUL).
struct LinksState {
  std::array<char, link_text_max + 1> target{};
  std::array<char, link_text_max + 1> text{};
  bool open_link_hidden = false;  // the open link (in_xrf) was written as its text alone
};
extern LinksState links;

// XRF: kind 0 a link with its text, 1 and 3 an anchor, 4 the start of a link
// whose text follows in the stream (in_xrf set), 5 its end. While a link is
// open every kind but 2 and 5 is dropped, so links never nest. Writes inline;
// 0.
int tt_xrf(fmt_info *rec, std::int32_t code);
// CMT: opens an HTML comment, pushes CMT on the code stack and leaves the code
// open, so that the main loop converts its first parameter as running text.
// Called again with the closing selector at the separator that ends that text:
// closes the comment and skips the rest of the code. A sixth open code ends the
// run with 16 (code stack). 0.
int tt_cmt(fmt_info *rec, std::int32_t code);
void reset_links_comments();
// Ends a link left open by XRF kind 4 (at its kind 5 or the hard line break).
void close_open_link();
// Whether a link target outside the document may become a link when the
// document is untrusted: a relative reference, a fragment, or one of the
// schemes http, https, mailto, ftp and file. The scheme is read as a browser
// reads it: character references decoded, case, blanks and control
// characters ignored.
bool link_target_allowed(std::string_view target);

}  // namespace kiv
