// Images and embedded objects in the output.
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

int tt_igr(fmt_info *rec, std::int32_t code);
int tt_pds(fmt_info *rec, std::int32_t code);
int tt_fic(fmt_info *rec, std::int32_t code);
int tt_ole(fmt_info *rec, std::int32_t code);

}  // namespace kiv
