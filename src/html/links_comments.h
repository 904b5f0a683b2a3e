// Links, bookmarks and comments.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

int tt_xrf(fmt_info *rec, std::int32_t code);
// CMT: opens an HTML comment whose text the main loop copies; called again with
// the closing selector at the separator that ends the text.
int tt_cmt(fmt_info *rec, std::int32_t code);
void reset_links_comments();

}  // namespace kiv
