// Picture codes: writing pictures into the stream and reading them back out.
#include "objects/stream_pictures.h"

#include <algorithm>
#include <cstring>

#include "objects/byte_order.h"
#include "objects/graphic_converters.h"
#include "objects/picture_files.h"
#include "runtime/file_layer.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "runtime/shutdown.h"
#include "runtime/strings.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"

extern "C" {
ICF2HTML_API int GraphicsOptionFlag = 1;
ICF2HTML_API int KIVGraphMode = 0;
ICF2HTML_API int GraphicTargetFormat[50] = {};
ICF2HTML_API int GraphicTargetFormatCount = 0;
}

namespace kiv {

StreamPictureState stream_pictures;

namespace {

// Bits of GraphicsOptionFlag.
constexpr int graphics_enabled = 0x001;
constexpr int keep_temporaries = 0x002;
constexpr int drop_pictures = 0x004;
constexpr int reference_file = 0x010;
constexpr int embed_file = 0x040;
constexpr int data_to_reference = 0x080;
constexpr int description_only = 0x100;
constexpr int reference_unconverted = 0x200;
constexpr int add_header = 0x400;

constexpr int chunk_size = 5000;
constexpr int converter_wrong_format = 9;
// A name read from an EGR code keeps at most this many characters.
constexpr int egr_name_max = 254;

bool flag(int bit) { return (GraphicsOptionFlag & bit) != 0; }

// The variant digit as the one-character text of a converter's "-v" argument.
struct VariantText {
  char text[2];
  explicit VariantText(std::int32_t variant)
      : text{static_cast<char>('0' + (variant >= 0 && variant <= 9 ? variant : 0)), '\0'} {}
};

bool is_target_format(std::int32_t format) {
  const int number = GetGraphConvNum(format);
  const int count = std::clamp(GraphicTargetFormatCount, 0, 50);
  return std::find(GraphicTargetFormat, GraphicTargetFormat + count, number) != GraphicTargetFormat + count;
}

int recognise(const char *name, std::int32_t *variant) {
  int v = 0;
  const int format = KIVGetFileFormat(name, &v);
  if (variant) *variant = v;
  return format;
}

void put_text(const char *text) {
  for (; *text; ++text) b_putc(static_cast<unsigned char>(*text));
}

void write_short_igr(const char *name) {
  beg_icf(code("IGR"));
  put_text(name);
  b_putc(US);
  end_icf();
}

void write_long_igr(const KIVGraphic *g, const char *name) {
  std::int32_t format = g->format;
  if (format < 1) {
    format = recognise(name, nullptr);
    if (format < 1) format = 0;
  }
  beg_icf(code("IGR"));
  put_text(name);
  b_putc(US);
  for (std::int32_t v : {1, g->width, g->height, format, g->anchor, g->hPos, g->vPos, g->frameWidth, g->frameHeight})
    dec_out(v);
  end_icf();
}

void open_pct(const KIVGraphic *g) {
  WritePDS(g);
  beg_icf(code("PCT"));
  if (g->format == format_metafile) dec_out(0);
}

void close_pct() {
  b_putc(US);
  end_icf();
}

// The remaining bytes of next, unconverted: PIC for PICT, else PDS and PCT.
void write_raw(const KIVGraphic *g, ByteSource next) {
  if (g->format == format_pict) {
    beg_icf(code("PIC"));
    for (std::int32_t v : {0, 0, 0, g->height / 20, g->width / 20, 0}) dec_out(v);
    for (int c = next(); c != end_of_input; c = next()) hex_out(c, 1);
    end_icf();
    return;
  }
  open_pct(g);
  for (int c = next(); c != end_of_input; c = next()) HexOut8NoTerm(c);
  close_pct();
}

// The bytes of a file as picture data, wrapped in PDS and PCT when wrap is 1.
void write_file_data(const KIVGraphic *g, const char *name, int wrap) {
  if (wrap == 1) open_pct(g);
  file_to_hex(name);
  if (wrap == 1) close_pct();
}

void fit_descriptor(KIVGraphic *g) {
  fit_to_extents(g->width, g->height);
  fit_to_extents(g->frameWidth, g->frameHeight);
}

// The metafile's bounding box and resolution, from its window and viewport records.
void write_placeable_header(int fd, const unsigned char *chunk, int length, const KIVGraphic *g) {
  bool y_known = false, x_known = false, oy_known = false, ox_known = false;
  int ext_y = 0, ext_x = 0, org_y = 0, org_x = 0;
  int pos = 18;
  while (pos < length - 10) {
    const int size = static_cast<std::int16_t>(PtrInt32(chunk + pos, 0) & 0xFFFF);
    const int function = PtrInt16(chunk + pos + 4, 0);
    if (size < 0 || pos + 2 * size > length || function == 0 || function == -1) break;
    const int first = pos + 6 + 1 < length ? PtrInt16(chunk + pos + 6, 0) : 0;
    const int second = pos + 8 + 1 < length ? PtrInt16(chunk + pos + 8, 0) : 0;
    switch (function) {
      case 0x020C:
        if (!y_known) ext_y = first, y_known = true;
        if (!x_known) ext_x = second, x_known = true;
        break;
      case 0x020B:
        if (!oy_known) org_y = first, oy_known = true;
        if (!ox_known) org_x = second, ox_known = true;
        break;
      case 0x020E: ext_y = first, ext_x = second, y_known = x_known = true; break;
      case 0x020D: org_y = first, org_x = second, oy_known = ox_known = true; break;
      default: break;
    }
    if (size == 0) break;  // a record of no length would never move on
    pos += 2 * size;
  }
  int units = 1000;
  int height = g->frameHeight;
  int width = g->frameWidth;
  if (y_known) {
    if (g->frameHeight != 0) units = (ext_y * 1440 + g->frameHeight / 2) / g->frameHeight;
    else if (g->frameWidth != 0) units = (ext_x * 1440 + g->frameWidth / 2) / g->frameWidth;
    height = ext_y;
    width = ext_x;
  }
  if (height == 0) height = 2000;
  if (width == 0) width = 3000;
  unsigned char header[22] = {0xD7, 0xCD, 0xC6, 0x9A};
  Int16Ptr(0, header + 4, 0);
  Int16Ptr(org_x, header + 6, 0);
  Int16Ptr(org_y, header + 8, 0);
  Int16Ptr(org_x + width, header + 10, 0);
  Int16Ptr(org_y + height, header + 12, 0);
  Int16Ptr(units, header + 14, 0);
  Int32Ptr(0, header + 16, 0);
  int checksum = 0;
  for (int i = 0; i < 20; i += 2) checksum ^= PtrUInt16(header + i, 0);
  Int16Ptr(checksum, header + 20, 0);
  KIVwrite(fd, header, sizeof header);
}

bool starts_with(const unsigned char *chunk, int length, std::initializer_list<unsigned char> bytes) {
  if (length < static_cast<int>(bytes.size())) return false;
  return std::equal(bytes.begin(), bytes.end(), chunk);
}

}  // namespace

void reset_stream_pictures() { stream_pictures = {}; }

bool is_graphic_format(int format) { return format >= 500 && format <= 699; }
int GetGraphConvNum(int format) { return format == -1 ? 0 : format; }
int GetGraphConvToNum(int format) { return format == -1 ? 0 : format; }

void fit_to_extents(std::int32_t &width, std::int32_t &height) {
  const auto [e1, e2] = graphic_converters.GraphicObjectExtents;
  if (e1 == 0 || e2 == 0) return;
  // 64-bit products: hostile extents must not overflow.
  const auto scaled = [](std::int64_t a, std::int64_t b, std::int64_t c) {
    return static_cast<std::int32_t>(a * b / c);
  };
  if (width <= 0 && height > 0) width = scaled(height, e2, e1);
  else if (width > 0 && height <= 0) height = scaled(width, e1, e2);
  else if (width <= 0 && height <= 0) {
    width = e2;
    height = e1;
  }
}

int WritePDS(const KIVGraphic *g) {
  beg_icf(code("PDS"));
  dec_out(g->format == -1 ? format_unknown_graphic : g->format);
  for (std::int32_t v : {g->anchor, g->hPos, g->vPos, g->width, g->height, g->frameWidth, g->frameHeight}) dec_out(v);
  return end_icf();
}

int PutKIVGraphic(KIVGraphic *g, ByteSource next, int wrap) {
  if (flag(drop_pictures)) return -1;
  if (flag(description_only)) {
    WritePDS(g);
    return -1;
  }
  if (KIVGraphMode == 1 || !flag(graphics_enabled)) {
    write_raw(g, next);
    return -1;
  }
  if (is_target_format(g->format)) {
    write_raw(g, next);
    return 0;
  }
  const int result = PutKIVGraphicData(g, next, wrap);
  if (result != -1) return result;
  write_raw(g, next);
  return -1;
}

int PutKIVGraphicData(KIVGraphic *g, ByteSource next, int wrap) {
  if (!flag(graphics_enabled)) return -1;
  int number = 0;
  if (!flag(data_to_reference | reference_unconverted) && g->format != -1) {
    number = GetGraphConvNum(g->format);
    if (CheckGraphicConvExist() != 0) return -1;
  }
  char a[picture_name_size];
  char b[picture_name_size] = "";
  if (make_temporary_picture(a) != 0) return -1;
  const int h = KIVopen(a, open_create, kind_temporary);
  if (h == -1) {
    remove_picture_file(a, false);
    return -1;
  }
  graphic_converters.GraphicObjectExtents = {0, 0};
  settings.KIVGraphicFrameWidth = g->frameWidth;
  settings.KIVGraphicFrameHeight = g->frameHeight;

  ScopedBlock chunk(chunk_size);
  if (!chunk) {
    KIVclose(h);
    remove_picture_file(a, false);
    return -1;
  }
  int header_format = -1;
  bool first_chunk = true;
  bool failed = false;
  for (bool more = true; more && !failed;) {
    int filled = 0;
    while (filled < chunk_size) {
      const int c = next();
      if (c == end_of_input) {
        more = false;
        break;
      }
      chunk.get()[filled++] = static_cast<unsigned char>(c);
    }
    if (filled == 0) break;
    if (first_chunk && flag(add_header)) header_format = KIVGraphAddHeader(h, chunk.get(), filled, g);
    first_chunk = false;
    if (KIVwrite(h, chunk.get(), filled) != filled) failed = true;
  }
  if (flag(add_header)) KIVGraphPostAddHeader();
  KIVclose(h);
  if (failed) {
    remove_picture_file(a, false);
    return -1;
  }

  if (flag(data_to_reference)) {
    if (g->format == -1) {
      const int found = recognise(a, &g->variant);
      g->format = is_graphic_format(found) ? found : format_unknown_graphic;
      if (flag(add_header) && header_format >= 1) g->format = header_format;
    }
    WritePDS(g);
    write_short_igr(a);
    AddTempFileName(a);
    return 0;
  }
  if (flag(reference_unconverted)) {
    if (g->format == -1) g->format = format_unknown_graphic;
    write_short_igr(a);
    AddTempFileName(a);
    return 0;
  }

  int status = 0;
  bool target = false;
  if (g->format == -1) {
    const int found = recognise(a, &g->variant);
    if (is_graphic_format(found)) {
      g->format = found;
      number = found;
      status = CheckGraphicConvExist() == 0 ? 0 : -1;
    } else {
      g->format = format_unknown_graphic;
      status = -1;
    }
    target = is_target_format(g->format);
  }
  bool converted = false;
  if (status != -1 && !target) {
    if (make_temporary_picture(b) != 0) {
      b[0] = '\0';
      status = -1;
    } else {
      status = ConvertGraphicFile(number, 0, a, b, VariantText(g->variant).text);
      if (status == converter_wrong_format) {
        g->format = format_unknown_graphic;
        const int found = recognise(a, &g->variant);
        if (CheckGraphicConvExist() == 0) status = ConvertGraphicFile(GetGraphConvNum(found), 0, a, b,
                                                                      VariantText(g->variant).text);
      }
      if (status == 0) {
        converted = true;
        g->format = intermediate_graphic;
      }
    }
  }
  fit_descriptor(g);
  write_file_data(g, converted ? b : a, wrap);
  remove_picture_file(a);
  remove_picture_file(b);
  if (target) return 0;
  return status != -1 ? status : converter_wrong_format;
}

int PutKIVGraphicOnDisk(KIVGraphic *g, const char *fileName, int wrap) {
  graphic_converters.GraphicObjectExtents = {0, 0};
  settings.KIVGraphicFrameWidth = g->frameWidth;
  settings.KIVGraphicFrameHeight = g->frameHeight;
  KIVRefListAddName(fileName, 2);
  if (flag(drop_pictures) || !flag(graphics_enabled)) return -1;

  char name[picture_name_size];
  copy_bounded(name, sizeof name, fileName);
  if (KIVCheckExist(name) != 0 && settings.FirstParameterFileName) {
    // The file may have moved with the document: try its name beside the first parameter file.
    const std::string_view first(settings.FirstParameterFileName);
    const auto dir_end = first.find_last_of("\\/:");
    const std::size_t dir = dir_end == std::string_view::npos ? 0 : dir_end + 1;
    const std::string_view given(fileName);
    const auto at = given.find_last_of("\\/:");
    const std::string_view component = at == std::string_view::npos ? given : given.substr(at + 1);
    char other[picture_name_size];
    if (dir + component.size() < sizeof other) {
      std::memcpy(other, first.data(), dir);
      std::memcpy(other + dir, component.data(), component.size());
      other[dir + component.size()] = '\0';
      if (KIVCheckExist(other) == 0) copy_bounded(name, sizeof name, other);
    }
  }

  if (flag(data_to_reference | reference_file)) {
    write_long_igr(g, name);
    return 0;
  }
  if (flag(embed_file)) {
    const int h = KIVopen(name, open_read, 1);
    if (h == -1) return -1;
    KIVclose(h);
    beg_icf(code("EGR"));
    put_text(name);
    b_putc(US);
    dec_out(g->width);
    dec_out(g->height);
    if (file_to_hex(name) != 0) return -1;
    b_putc(US);
    end_icf();
    return 0;
  }

  int number = g->format == -1 ? recognise(name, &g->variant) : GetGraphConvNum(g->format);
  if (number == 0 || !is_graphic_format(number)) return -1;
  char temporary[picture_name_size] = "";
  const char *to_write = name;
  int result = -1;
  if (!is_target_format(number)) {
    if (CheckGraphicConvExist() != 0 || make_temporary_picture(temporary) != 0) return -1;
    if (ConvertGraphicFile(number, 0, name, temporary, VariantText(g->variant).text) != 0) {
      remove_picture_file(temporary);
      return -1;
    }
    g->format = intermediate_graphic;
    to_write = temporary;
    result = 0;
  }
  fit_descriptor(g);
  const int h = KIVopen(to_write, open_read, 1);
  if (h != -1) {
    KIVclose(h);
    write_file_data(g, to_write, wrap);
  } else {
    write_long_igr(g, to_write);
  }
  remove_picture_file(temporary);
  return result;
}

int KIVGraphAddHeader(int fd, const unsigned char *chunk, int length, KIVGraphic *g) {
  int format = g->format;
  if (format == -1) {
    int variant = 0;
    format = AutoRecBlock(chunk, std::min(length, 4096), 0, &variant);
    if (format == 0 || !is_graphic_format(format)) return -1;
  }
  switch (format) {
    case format_wpg1:
    case format_wpg2:
      if (!starts_with(chunk, length, {0xFF, 0x57, 0x50, 0x43})) {
        const unsigned char header[16] = {0xFF, 0x57, 0x50, 0x43, 0x10, 0, 0, 0, 0x01, 0x16,
                                          static_cast<unsigned char>(format == format_wpg1 ? 1 : 2), 0, 0, 0, 0, 0};
        KIVwrite(fd, header, sizeof header);
      }
      break;
    case format_metafile:
      if (starts_with(chunk, length, {0x01, 0x00, 0x09, 0x00})) write_placeable_header(fd, chunk, length, g);
      break;
    case format_pict: {
      const bool opcode = length >= 528 && ((chunk[522] == 0x11 && chunk[523] == 0x01) ||
                                            starts_with(chunk + 522, length - 522, {0x00, 0x11, 0x02, 0xFF, 0x0C, 0x00}));
      if (!opcode) {
        const unsigned char zeros[512] = {};
        KIVwrite(fd, zeros, sizeof zeros);
      }
      break;
    }
    default: break;
  }
  return format;
}

int KIVGraphPostAddHeader() { return 0; }

int GetKIVGraphicData(KIVGraphic *g, ByteSink sink) {
  if (GraphicsOptionFlag == 0 || CheckGraphicConvExist() != 0) return -1;
  char a[picture_name_size];
  char b[picture_name_size];
  if (make_temporary_picture(a) != 0) return -1;
  if (make_temporary_picture(b) != 0) {
    remove_picture_file(a, false);
    return -1;
  }
  if (hex_data_to_file(a, kind_temporary) != 0) {
    remove_picture_file(b, false);
    return -1;
  }
  const int status = ConvertGraphicFile(GetGraphConvToNum(g->format), 1, a, b, VariantText(g->variant).text);
  if (status == 0) {
    g->format = intermediate_graphic;
    const int h = KIVopen(b, open_read, kind_temporary);
    if (h != -1) {
      unsigned char chunk[1024];
      for (int got; (got = KIVread(h, chunk, sizeof chunk)) > 0;)
        for (int i = 0; i < got; ++i) sink(chunk[i]);
      KIVclose(h);
    }
  }
  remove_picture_file(a);
  remove_picture_file(b);
  return status;
}

int GetKIVGraphicDataToDisk(KIVGraphic *g, const char *basePath, int targetFormat, const char *extension,
                            char *outName) {
  StreamPictureState &s = stream_pictures;
  if (CheckGraphicConvExist() != 0) return -1;
  char a[picture_name_size];
  char b[picture_name_size];
  const bool have_data = s.retain_data && s.retained_data[0] != '\0';
  if (have_data) copy_bounded(a, sizeof a, s.retained_data);
  else if (make_temporary_picture(a) != 0) return -1;
  if (GenGrBaseName(basePath, b, extension) != 0) {
    if (!have_data) remove_picture_file(a, false);
    return -1;
  }
  copy_bounded(outName, picture_name_size, b);
  if (!have_data) {
    if (hex_data_to_file(a, kind_temporary) != 0) return -1;
    if (s.retain_data) copy_bounded(s.retained_data, sizeof s.retained_data, a);
  }
  const int status = ConvertGraphicFile(targetFormat, 1, a, b, VariantText(g->variant).text);
  if (!s.retain_data) remove_picture_file(a);
  if (status != 0) remove_picture_file(b, false);
  return status;
}

void drop_retained_data() {
  StreamPictureState &s = stream_pictures;
  remove_picture_file(s.retained_data);
  s.retained_data[0] = '\0';
  s.retain_data = false;
}

int KIVEmbededGrRefToDisk(KIVGraphic *g, const char *basePath, char *outName) {
  char name[egr_name_max + 1];
  read_name_parameter(name, sizeof name, false);
  g->width = get_dec();
  g->height = get_dec();
  char out[picture_name_size];
  if (GenGrEmbedName(name, basePath, out) != 0) return -1;
  copy_bounded(outName, picture_name_size, out);
  // Deliberate: kind 0, not a temporary file: the embedded picture is the
  // document's own and stays beside it.
  return hex_data_to_file(out, 0);
}

}  // namespace kiv
