// Recognition of compound (OLE2) files: the names of the top-level streams tell
// the format, and the first bytes of the stream found refine it.
#pragma once

#include <cstdint>

#include "recognition/compound_file.h"

namespace kiv {

// data/length: the first bytes of the file as the driver read them; seek and read
// reach the rest of the file. Returns a result code or 0 and leaves the variant in
// autorec_state.ver. Needs at least 2048 bytes and the compound-file signature.
int auto_OLE2Formats(const unsigned char *data, int length, CompoundSeek seek, CompoundRead read);

// Result code of a UTF-16 stream name (64 bytes), or 0; sets autorec_state.ver.
int AutoOLE2Check(const unsigned char *name);

// 0 when the NUL-terminated UTF-16 name (64 bytes) equals text exactly, case
// included, with every high byte 0; 1 otherwise.
int AutoStrCmpIC(const unsigned char *name, const char *text);

}  // namespace kiv
