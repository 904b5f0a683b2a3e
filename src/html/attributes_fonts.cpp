// Character attributes, fonts and colours: handlers record the wanted state in
// the format record; CheckChanged brings the output up to date before the next text.
#include "html/attributes_fonts.h"

#include "html/document_head.h"
#include "html/output_redirect.h"
#include "html/writer.h"
#include "stream/code_numbers.h"

namespace kiv {

// Skips its code until this group of codes is carried out.
int tt_attr1(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_attr2(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_attr3(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_attr_net(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_bcl(fmt_info *, std::int32_t) { return x_icf(); }

// Skips its code until this group of codes is carried out.
int tt_spf(fmt_info *, std::int32_t) { return x_icf(); }

void CheckChanged(fmt_info *rec) {
  if (!writer.FirstText && !IsRedir()) {
    DropHeading(rec);
    writer.FirstText = 1;
  }
  rec->changed = 0;
}

void get_color(std::int32_t red, std::int32_t green, std::int32_t blue, char *buffer) {
  constexpr char digits[] = "0123456789abcdef";
  int at = 0;
  for (std::int32_t value : {red, green, blue}) {
    buffer[at++] = digits[(value >> 4) & 15];
    buffer[at++] = digits[value & 15];
  }
  buffer[at] = '\0';
}

void reset_attributes_fonts() {}

}  // namespace kiv
