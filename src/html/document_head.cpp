// The document head and the summary information.
#include "html/document_head.h"

#include "html/attributes_fonts.h"
#include "html/output.h"
#include "html/shading.h"
#include "html/writer.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"

namespace kiv {

namespace {

constexpr int ssi_fields = 21;

void put_meta(char *&text, const char *open) {
  if (!text) return;
  put_str(open);
  put_document_text(text);
  put_str("\">", end_line);
  KIVfree(text);
  text = nullptr;
}

// Reads a field into a new summary buffer; an empty field (or no memory) keeps none.
void keep_field(char *&slot) {
  auto *buffer = static_cast<char *>(KIVmalloc(summary_size));
  if (!buffer) {
    tt_skip_ssi_string();
    return;
  }
  tt_getstr(buffer, summary_size - 1);
  if (buffer[0] == '\0') {
    KIVfree(buffer);
    return;
  }
  KIVfree(slot);
  slot = buffer;
}

}  // namespace

void DropHeading(fmt_info *rec) {
  put_str("<HEAD>", end_line);
  put_str("<TITLE>");
  const char *value = nullptr;
  if (kivGetCmdLineOption("TITLE", &value)) {
    if (value) put_str(value);
  } else if (rec->title) {
    put_document_text(rec->title);
    KIVfree(rec->title);
    rec->title = nullptr;
  } else if (kivGetCmdLineOption("DEFAULTTITLE", &value)) {
    // A host that writes the page under another name than the one it shows
    // the user (an isolated conversion to standard output) names the title
    // that a document without one of its own gets.
    if (value) put_str(value);
  } else if (writer.p_tgtnm) {
    put_str(writer.p_tgtnm);
  }
  put_str("</TITLE>", end_line);
  put_meta(rec->subject, "<META NAME=\"SUBJECT\" CONTENT=\"");
  put_meta(rec->author, "<META NAME=\"AUTHOR\" CONTENT=\"");
  put_meta(rec->keywords, "<META NAME=\"KEYWORDS\" CONTENT=\"");
  put_str("</HEAD>", end_line);
  put_line_end();
  put_str("<BODY");
  if (rec->page_shade != 0) put_background(rec->page_shade, rec->page_rgb);
  put_str(">", end_line);
  if (writer.Extensions & ext_netscape) put_str("<BASEFONT SIZE=3>", end_line);
}

int tt_ssi(fmt_info *rec, std::int32_t) {
  for (int field = 1; field <= ssi_fields; ++field) {
    char **slot = nullptr;
    if (writer.ver_code >= 2) {
      if (field == 1) slot = &rec->subject;
      else if (field == 2) slot = &rec->author;
      else if (field == 4) slot = &rec->keywords;
    }
    if (field == ssi_fields && rec->title == nullptr) slot = &rec->title;
    if (slot) keep_field(*slot);
    else if (field != ssi_fields || rec->title == nullptr) tt_skip_ssi_string();
  }
  x_icf();
  return 0;
}

void tt_getstr(char *buffer, int size) {
  if (size <= 0) return;
  int n = 0;
  int c;
  for (;;) {
    if (n == size - 1) {
      // Full: the rest of the field is passed over up to its own separator. A
      // code nested in that rest is skipped whole, as in the part that is kept:
      // its separators would otherwise end the field early and the summary's
      // remaining fields would be read as body text.
      buffer[n] = '\0';
      tt_skip_ssi_string();
      return;
    }
    c = b_getc();
    if (c == end_of_input || c == US || c == RS) break;
    if (c == ESC) {
      x_icf();
      continue;
    }
    buffer[n++] = static_cast<char>(c);
  }
  buffer[n] = '\0';
  if (c == RS) b_unget(c);
}

void tt_skip_ssi_string() {
  for (;;) {
    const int c = b_getc();
    if (c == end_of_input || c == US) return;
    if (c == RS) {
      b_unget(c);
      return;
    }
    if (c == ESC) x_icf();
  }
}

}  // namespace kiv
