// Paragraph layout: hard line breaks that end paragraphs and lists, alignment,
// centred and right-aligned blocks, and the small codes that become a space, a
// hyphen or nothing. The paragraph tags themselves are written by DropOnAttr.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

// TAB DTB HHC PPN HNP SNP SNL SFL RSM PGW AFR EAT: a space, a hyphen, page
// counts, margins and page sizes, decimal alignment and right-aligned blocks; 0.
int tt_single(fmt_info *rec, std::int32_t code);
// BCA BRA BRJ ERJ: paragraph alignment centred, right, justified, left. At the
// start of a line it applies at once, in mid-line from the next HNL; 0.
int tt_just(fmt_info *rec, std::int32_t code);
// CTX ECT: a centred block, with either extension set and outside a centred
// paragraph; 0.
int tt_center(fmt_info *rec, std::int32_t code);
// HNL (routed through tt_attr1), after its code's name: skips the code, brings
// the tags up to date (closing an open block), closes an open link, writes
// "<BR>" or "</P>", closes the list levels, applies a pending alignment and
// writes a sub-document left waiting for the end of the line; 0.
int hard_line_break(fmt_info *rec);

}  // namespace kiv
