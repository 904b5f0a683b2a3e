// Paragraph layout: hard line breaks, alignment, centred and right-aligned
// blocks, tabs, hyphens, soft breaks, margins and page sizes.
#include "html/paragraphs.h"

#include <cstring>

#include "html/attributes_fonts.h"
#include "html/links_comments.h"
#include "html/notes_headers.h"
#include "html/output.h"
#include "html/output_redirect.h"
#include "html/writer.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"
#include "stream/temp_buffers.h"

namespace kiv {

namespace {

// RSM and PGW give lengths in columns of a tenth of an inch when the twips
// value is missing.
constexpr std::uint32_t twips_per_column = 144;

constexpr int comma = 44;
constexpr int full_stop = 46;

// Multiplies as the stream's 32-bit arithmetic does: a hostile value wraps
// instead of overflowing.
std::int32_t columns_to_twips(std::int32_t columns) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(columns) * twips_per_column);
}

void bring_up_to_date(fmt_info *rec) {
  if (rec->changed) CheckChanged(rec);
}

void skip_decimals(int count) {
  for (int i = 0; i < count; ++i) (void)get_dec();
}

// The font a waiting sub-document is written in: 12 point Times Roman.
constexpr std::int32_t sub_document_size = 240;
constexpr char sub_document_face[] = "Times Roman";

// A sub-document left waiting follows the line break, in its own FONT tag;
// the body's font is reopened after it. Never inside a redirection.
void write_waiting_sub_document(fmt_info *rec) {
  const int buffer = notes.SubDocBuffer;
  if (buffer == -1 || IsRedir()) return;
  const FontBlock kept = rec->font;
  rec->font.size = sub_document_size;
  std::memset(rec->font.face, 0, sizeof rec->font.face);
  std::memcpy(rec->font.face, sub_document_face, sizeof sub_document_face);
  ApplyFont(rec, rec->font, 0);
  for (int c = bufget(buffer); c != -1; c = bufget(buffer)) b_putc(c);
  bufclose(buffer);
  notes.SubDocBuffer = -1;
  rec->font = kept;
  ApplyFont(rec, rec->font, 1);
}

}  // namespace

int hard_line_break(fmt_info *rec) {
  x_icf();
  if (rec->block_align != 0) {
    // The block ends with the line: the tag writer closes it before the break.
    rec->attrs &= ~(attr_centred_block | attr_right_block);
    rec->changed = 1;
  }
  bring_up_to_date(rec);
  close_open_link();  // a link left open ends with its line
  if (writer.GenPTags == 0 && rec->align == align_left) {
    put_str("<BR>", end_line);
  } else if (rec->para_start == 0) {
    put_str("</P>", end_line);
    rec->para_start = 1;
  } else {
    put_str("<BR>", end_line);  // the paragraph had no text
  }
  if (rec->indent != 0) {
    for (std::int32_t level = list_levels(rec->indent); level > 0; --level) put_str("</UL>", end_line);
    rec->indent = 0;
    rec->indent_out = 0;
  }
  rec->block_align = 0;
  rec->line_has_text = 0;
  rec->line_start = 1;
  if (rec->pending_align != -1) {
    rec->align = rec->pending_align;
    rec->changed = 1;
    rec->pending_align = -1;
  }
  write_waiting_sub_document(rec);
  return 0;
}

int tt_just(fmt_info *rec, std::int32_t code_number) {
  x_icf();
  std::int32_t value = align_left;
  switch (code_number) {
    case code("BCA"): value = align_centred; break;
    case code("BRA"): value = align_right; break;
    case code("BRJ"): value = align_justified; break;
    default: break;  // ERJ
  }
  if (rec->line_start) {
    rec->align = value;
    rec->changed = 1;
  } else {
    rec->pending_align = value;  // an alignment in mid-line applies to the next paragraph
  }
  return 0;
}

int tt_center(fmt_info *rec, std::int32_t code_number) {
  // A centred paragraph needs no centred block.
  if ((writer.Extensions & (ext_netscape | ext_e)) == 0 || rec->align == align_centred) return x_icf();
  if (code_number == code("ECT")) {
    x_icf();
    rec->attrs &= ~attr_centred_block;
    rec->changed = 1;
    return 0;
  }
  const std::int32_t kind = get_dec();
  x_icf();
  if (kind == 0) {
    rec->attrs |= attr_centred_block;
    rec->changed = 1;
    rec->block_align = align_centred;
  } else {
    b_putc(' ');
  }
  return 0;
}

int tt_single(fmt_info *rec, std::int32_t code_number) {
  switch (code_number) {
    case code("TAB"):
      x_icf();
      b_putc(' ');  // at once: before a paragraph tag that is still pending
      break;
    case code("DTB"):
      x_icf();
      bring_up_to_date(rec);
      b_putc(' ');
      break;
    case code("HHC"):
      x_icf();
      bring_up_to_date(rec);
      b_putc('-');
      break;
    case code("PPN"):
      x_icf();
      bring_up_to_date(rec);
      break;
    case code("HNP"):
    case code("SNP"):
      // HTML has no pages: a page break is only counted.
      x_icf();
      rec->page_count += 1;
      break;
    case code("SNL"): {
      const std::int32_t kind = get_dec();
      x_icf();
      if (kind != 1) b_putc(' ');
      rec->block_align = 0;
      break;
    }
    case code("RSM"): {
      skip_decimals(2);
      const std::int32_t columns = get_dec();
      skip_decimals(1);
      const std::int32_t twips = get_dec();
      x_icf();
      rec->margins[2] = twips < 0 ? columns_to_twips(columns) : twips;
      break;
    }
    case code("PGW"): {
      const std::int32_t columns = get_dec();
      const std::int32_t twips = get_dec();
      x_icf();
      rec->page_width = twips < 0 ? columns_to_twips(columns) : twips;
      break;
    }
    case code("SFL"): {
      skip_decimals(4);
      const std::int32_t length = get_dec();
      x_icf();
      rec->page_length = length;
      break;
    }
    case code("AFR"): {
      const std::int32_t character = get_dec();
      x_icf();
      if (character == comma || character == full_stop) {
        b_putc(' ');
      } else if (writer.ver_code >= 2 && rec->align != align_right) {
        rec->attrs |= attr_right_block;
        rec->changed = 1;
        rec->block_align = align_right;
      }
      break;
    }
    case code("EAT"):
      x_icf();
      rec->attrs &= ~attr_right_block;
      rec->changed = 1;
      break;
    default:
      x_icf();
      break;
  }
  return 0;
}

}  // namespace kiv
