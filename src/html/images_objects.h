// Images and embedded objects in the output: picture files named in the stream
// (IGR), picture data (PDS and PCT), embedded objects (OLE, turned into picture
// codes and read again) and references to outside files (FIC).
#pragma once

#include <cstdint>

#include "html/format_record.h"

namespace kiv {

struct ImagesObjectsState {
  int ole_buf = -1;                 // temporary buffer collecting an object's picture codes
  long ole_bytes = 0;               // bytes put into it
  std::int32_t last_picture_number = -1;  // highest number in a picture name made so far
};
extern ImagesObjectsState images;

// Back to the state at the start of a conversion.
void reset_images_objects();

// IGR: recognises the named file, converts it to JPEG when it is neither GIF
// nor JPEG, and writes its IMG element. 0.
int tt_igr(fmt_info *rec, std::int32_t code);
// PDS records the picture's description; PCT converts its data (intermediate
// form only) into a JPEG or GIF file and writes the IMG element. 0.
int tt_pds(fmt_info *rec, std::int32_t code);
// FIC with flag 0: a link to the named outside file. 0.
int tt_fic(fmt_info *rec, std::int32_t code);
// OLE: the object's presentation, as PDS and PCT codes, goes back onto the
// input (with OLEOptionFlag 1, 2 or 4). 0.
int tt_ole(fmt_info *rec, std::int32_t code);
// Writes the IMG element for a picture file under the record's picture fields.
void WriteGraphName(fmt_info *rec, const char *name);
// The byte sink of tt_ole: appends to ole_buf; returns c.
int ole_put(int c);

}  // namespace kiv
