// The document head (TITLE and META lines) and the BODY start tag, written once
// before the first text of the body, and the summary information code SSI.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

// Writes HEAD and the BODY start tag; frees the summary strings it writes.
void DropHeading(fmt_info *rec);
// SSI: keeps subject, author and keywords (level 3) and the title.
int tt_ssi(fmt_info *rec, std::int32_t code);
// Reads one summary field into buffer (at most size - 1 characters).
void tt_getstr(char *buffer, int size);
// Skips one summary field.
void tt_skip_ssi_string();

}  // namespace kiv
