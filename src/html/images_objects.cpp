// Images and embedded objects in the output.
#include "html/images_objects.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "html/attributes_fonts.h"
#include "html/output.h"
#include "html/writer.h"
#include "objects/graphic_converters.h"
#include "objects/ole_objects.h"
#include "objects/picture_files.h"
#include "objects/stream_pictures.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"
#include "stream/temp_buffers.h"

namespace kiv {

ImagesObjectsState images;

namespace {

constexpr int igr_name_size = 2048;
constexpr int pct_name_size = 1024;
constexpr int fic_name_max = 254;
constexpr int converter_not_started = -1;

// The target's name without its extension: the cut at the last "." applies
// within the last path component only.
std::string_view target_stem() {
  const std::string_view target(writer.p_tgtnm ? writer.p_tgtnm : "");
  const auto separator = target.find_last_of("\\/:");
  const std::size_t component = separator == std::string_view::npos ? 0 : separator + 1;
  const auto dot = target.rfind('.');
  return dot == std::string_view::npos || dot < component ? target : target.substr(0, dot);
}

// A picture name from the target's name and graphic_count. The count starts
// again in every header, footer and note; a number already used in this
// conversion is skipped, so no picture file is written over another.
bool counted_picture_name(fmt_info *rec, const char *extension, char *out, std::size_t size) {
  std::int32_t n = rec->graphic_count;
  if (n <= images.last_picture_number) n = images.last_picture_number + 1;
  images.last_picture_number = n;
  rec->graphic_count = n;
  const std::string_view stem = target_stem();
  const int written = std::snprintf(out, size, "%.*s%d.%s", static_cast<int>(stem.size()), stem.data(), n, extension);
  return written > 0 && static_cast<std::size_t>(written) < size;
}

void read_igr_parameters(fmt_info *rec) {
  get_dec();
  rec->img_width = get_dec();
  rec->img_height = get_dec();
  get_dec();
  rec->img_placed = get_dec();
  if (rec->img_placed == -1) rec->img_placed = 0;
  rec->img_x = get_dec();
  if (rec->img_x < 0) rec->img_x = 0;
  rec->img_y = get_dec();
  if (rec->img_y < 0) rec->img_y = 0;
}

// The GFXPATH option when given and not empty, else the target's name.
const char *picture_base_path() {
  const char *value = nullptr;
  if (kivGetCmdLineOption("GFXPATH", &value) && value && *value) return value;
  return writer.p_tgtnm ? writer.p_tgtnm : "";
}

}  // namespace

void reset_images_objects() { images = {}; }

int tt_igr(fmt_info *rec, std::int32_t) {
  ScopedBlock name_block(igr_name_size);
  ScopedBlock converted_block(igr_name_size);
  if (!name_block || !converted_block) return x_icf();
  char *name = name_block.get<char>();
  char *converted = converted_block.get<char>();
  read_name_parameter(name, igr_name_size, true);
  read_igr_parameters(rec);

  int variant = 0;
  const int format = KIVGetFileFormat(name, &variant);
  const char *shown = name;
  if (format != format_gif && format != format_jpeg) {
    char temporary[picture_name_size];
    if (make_temporary_picture(temporary) != 0) return x_icf();
    if (ConvertGraphicFile(format, 0, name, temporary, "0") == converter_not_started) {
      remove_picture_file(temporary, false);
      return x_icf();
    }
    // Exit 1 or 255 goes on to the JPEG step as well: only a converter that
    // could not be started ends the picture here.
    const bool named = counted_picture_name(rec, "jpg", converted, igr_name_size);
    ++rec->graphic_count;
    const int status = named ? ConvertGraphicFile(format_jpeg, 1, temporary, converted, "0") : -1;
    remove_picture_file(temporary);
    if (status != 0) {
      if (named) remove_picture_file(converted, false);
      return x_icf();
    }
    shown = converted;
  }
  CheckChanged(rec);
  WriteGraphName(rec, shown);
  return x_icf();
}

int tt_pds(fmt_info *rec, std::int32_t code_number) {
  if (code_number == code("PDS")) {
    for (std::int32_t *field : {&rec->img_format, &rec->img_placed, &rec->img_x, &rec->img_y, &rec->img_width,
                                &rec->img_height})
      *field = get_dec();
    return x_icf();
  }
  if (rec->img_format != intermediate_graphic) return x_icf();
  KIVGraphic &g = stream_pictures.sKIVGraphic;
  g.variant = 0;
  if (rec->changed) CheckChanged(rec);
  ScopedBlock name_block(pct_name_size);
  if (!name_block) return x_icf();
  char *name = name_block.get<char>();
  const char *base = picture_base_path();

  // The picture's data is read once and kept for the GIF attempt.
  stream_pictures.retain_data = true;
  g.format = format_jpeg;
  int status = GetKIVGraphicDataToDisk(&g, base, format_jpeg, "JPG", name);
  if (status != 0) {
    g.format = format_gif;
    status = GetKIVGraphicDataToDisk(&g, base, format_gif, "GIF", name);
  }
  drop_retained_data();
  // Deliberate: without a converted file the IMG element still names the
  // picture, under the counted ".gif" name.
  if (status != 0 && !counted_picture_name(rec, "gif", name, pct_name_size)) name[0] = '\0';
  WriteGraphName(rec, name);
  ++rec->graphic_count;
  return x_icf();
}

int tt_fic(fmt_info *, std::int32_t) {
  ScopedBlock name_block(igr_name_size);
  if (!name_block) return x_icf();
  char *name = name_block.get<char>();
  get_str(name, fic_name_max);
  const std::int32_t flag = get_dec();
  x_icf();
  if (flag == 0) {
    // The name comes from the document: escaped for untrusted documents.
    put_str("<A HREF=\"file:///");
    put_document_text(name);
    put_str("\">");
    put_document_text(name);
    put_str("</A>");
  }
  return 0;
}

int ole_put(int c) {
  bufput(c, images.ole_buf);
  ++images.ole_bytes;
  return c;
}

int tt_ole(fmt_info *, std::int32_t) {
  if (OLEOptionFlag != 1 && OLEOptionFlag != 2 && OLEOptionFlag != 4) return x_icf();
  KIVOLEHeader *header = nullptr;
  KIVOLEObject *object = ReadOLEICF(&header, b_getc);
  KIVfree(header);
  x_icf();
  images.ole_buf = bufinit(256);
  images.ole_bytes = 0;
  if (images.ole_buf == -1) {
    FreeOLE(object);
    return 0;
  }
  ConvertOLEPresDataToICF(object, ole_put);
  // The last byte goes back first, so the input yields the codes in the order made.
  for (int c = bufunput(images.ole_buf); c != end_of_input; c = bufunput(images.ole_buf)) b_unget(c);
  bufclose(images.ole_buf);
  images.ole_buf = -1;
  FreeOLE(object);
  return 0;
}

void WriteGraphName(fmt_info *rec, const char *name) {
  put_str("<IMG SRC=\"");
  const std::string_view n(name);
  if (n.size() > 1 && n.find_first_of("\\/:", 1) != std::string_view::npos) put_str("file:///");
  put_document_text(name);  // a name the document gave: escaped for untrusted documents
  put_str("\"");
  if ((writer.Extensions & (ext_netscape | ext_e)) == 0) {
    put_str(">", end_line);
    return;
  }
  if (rec->img_width > 0) {
    put_str(" WIDTH=");
    put_num(rec->img_width / 20);
  }
  if (rec->img_height > 0) {
    put_str(" HEIGHT=");
    put_num(rec->img_height / 20);
  }
  if (rec->img_placed != 0) {
    if (rec->img_x == rec->margins[2]) put_str(" ALIGN=LEFT");
    else if (rec->img_x + rec->img_width == rec->margins[3]) put_str(" ALIGN=RIGHT");
    else if (rec->block_align == align_centred) put_str(" ALIGN=CENTER");
    else if (rec->block_align == align_right) put_str(" ALIGN=RIGHT");
  }
  put_str(">", end_line);
}

}  // namespace kiv
