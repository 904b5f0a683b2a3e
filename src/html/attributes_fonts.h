// Character attributes, fonts and colours: handlers record the wanted state in
// the format record; CheckChanged brings the output up to date before the next text.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

int tt_attr1(fmt_info *rec, std::int32_t code);
int tt_attr2(fmt_info *rec, std::int32_t code);
int tt_attr3(fmt_info *rec, std::int32_t code);
int tt_attr_net(fmt_info *rec, std::int32_t code);
int tt_bcl(fmt_info *rec, std::int32_t code);
int tt_spf(fmt_info *rec, std::int32_t code);

// Brings the head and the open tags up to date before text is written: the
// first time outside a redirection it writes the document head. Clears changed.
void CheckChanged(fmt_info *rec);
// Six lower-case hexadecimal digits of a colour and a NUL into buffer (7 bytes).
void get_color(std::int32_t red, std::int32_t green, std::int32_t blue, char *buffer);
void reset_attributes_fonts();

}  // namespace kiv
