// Links, bookmarks and comments.
#include "html/links_comments.h"

#include "html/attributes_fonts.h"
#include "html/code_table.h"
#include "html/dispatch.h"
#include "html/output.h"
#include "html/writer.h"
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

void put_href(std::int32_t target_class) {
  put_str(target_class <= last_local_class ? "<A HREF=\"#" : "<A HREF=\"");
  // Names and texts are written as read: no entities, quotation marks unescaped.
  put_str(links.target.data());
  put_str("\">");
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
      put_href(target_class);
      put_str(links.text.data());
      put_str("</A>");
      writer.in_xrf = 0;
      break;
    case xrf_anchor:
    case xrf_anchor_too:
      put_str("<A NAME=\"");
      put_str(links.target.data());
      put_str("\"></A>");
      writer.in_xrf = 0;
      break;
    case xrf_link_start:
      put_href(target_class);
      writer.in_xrf = 1;
      break;
    case xrf_link_end:
      if (writer.in_xrf) {
        put_str("</A>");
        writer.in_xrf = 0;
      }
      break;
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

}  // namespace kiv
