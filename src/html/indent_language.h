// Temporary indentation as nested lists, language changes as LANG tags, and
// deleted text. The handlers only change the format record; the tag writer
// opens the lists and writes the LANG tag before the next text.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

// STM (old and new indentation), LRT (an indentation step) and ETM (back to
// none), at the start of a line: change indent, clear indent_out and set
// changed. After text on the line they change nothing; STM and LRT then write
// one blank. 0.
int tt_stm(fmt_info *rec, std::int32_t code);
// SLG: the language of the following text (0 and 1024 are ignored). 0.
int tt_slg(fmt_info *rec, std::int32_t code);
// Deleted text, built like comments: writes "<DEL> " and leaves its code open
// on the code stack; with the closing selector writes "</DEL>" and skips the
// rest of the code. The code table has no row for DTX, so a DTX code in the
// stream is skipped whole with its text, and nothing reaches this handler. 0.
int tt_dtx(fmt_info *rec, std::int32_t code);

}  // namespace kiv
