// Links, bookmarks and comments.
#include "html/links_comments.h"

#include "html/attributes_fonts.h"
#include "html/dispatch.h"
#include "html/output.h"
#include "html/writer.h"
#include "stream/code_numbers.h"

namespace kiv {

// Skips its code until this group of codes is carried out.
int tt_xrf(fmt_info *, std::int32_t) { return x_icf(); }

int tt_cmt(fmt_info *rec, std::int32_t code) {
  CheckChanged(rec);
  if (code == close_selector) {
    put_str(" -->", end_line);
    x_icf();
    return 0;
  }
  put_str("<!-- ");
  icf_stack(rec, 1, code);
  return 0;
}

void reset_links_comments() {}

}  // namespace kiv
