// Indentation as nested lists, language changes and deleted text.
#include "html/indent_language.h"

#include <algorithm>
#include <limits>

#include "html/attributes_fonts.h"
#include "html/code_table.h"
#include "html/dispatch.h"
#include "html/output.h"
#include "html/writer.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"

namespace kiv {

namespace {

// Language ids that leave the language unchanged.
constexpr std::int32_t lang_none = 0;
constexpr std::int32_t lang_neutral = 1024;

// Indentation sums are kept within 32 bits: the stream's values are hostile and
// may be any 32-bit number. (The tag writer bounds the list levels it writes.)
std::int32_t saturate(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

int tt_stm(fmt_info *rec, std::int32_t code_number) {
  if (rec->line_has_text) {
    // Indentation belongs to the paragraph; in mid-line it becomes a blank.
    x_icf();
    if (code_number != code("ETM")) b_putc(' ');
    return 0;
  }
  if (code_number == code("STM")) {
    const std::int64_t old_indent = get_dec();
    const std::int64_t new_indent = get_dec();
    rec->indent = std::max<std::int32_t>(0, saturate(rec->indent + new_indent - old_indent));
  } else if (code_number == code("LRT")) {
    get_dec();
    const std::int64_t step = get_dec();
    rec->indent = saturate(rec->indent + step);  // no lower bound here, unlike STM
  } else {
    rec->indent = 0;
  }
  x_icf();
  rec->changed = 1;
  rec->indent_out = 0;
  return 0;
}

int tt_slg(fmt_info *rec, std::int32_t) {
  const std::int32_t id = get_dec();
  x_icf();
  if (id != lang_none && id != lang_neutral) {
    rec->lang = id;
    rec->changed = 1;
  }
  return 0;
}

int tt_dtx(fmt_info *rec, std::int32_t code_number) {
  CheckChanged(rec);
  if (code_number == close_selector) {
    put_str("</DEL>", end_line);
    x_icf();
    return 0;
  }
  put_str("<DEL> ");
  icf_stack(rec, 1, code_number);
  return 0;
}


}  // namespace kiv
