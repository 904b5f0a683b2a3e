// OLE objects: record, binary and stream forms, accessors, extraction and
// conversion into stream codes.
#include "objects/ole_objects.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "objects/byte_order.h"
#include "objects/graphic_converters.h"
#include "objects/picture_files.h"
#include "objects/stream_pictures.h"
#include "runtime/error_exit.h"
#include "runtime/file_layer.h"
#include "runtime/host_entry.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "runtime/shutdown.h"
#include "runtime/strings.h"
#include "runtime/temp_names.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "stream/temp_buffers.h"

extern "C" {
ICF2HTML_API int OLEOptionFlag = 4;
}

namespace kiv {

OleState ole;

namespace {

constexpr int data_buffer_size = 4096;
constexpr int block_size = 1024;
// A counted string longer than this is not a name: the object is refused
// rather than a huge block allocated for it.
constexpr std::int32_t max_string_length = 65536;
// Objects nest through their presentation; deeper nesting is refused.
constexpr int max_nesting = 8;
constexpr int keep_ole_files = 0x8;
constexpr int exit_bad_object = 5;

constexpr KIVOLEHeader default_header = {0, 0, 0, 0, 0, 1000, 1000, 1440, 1440};

// Reads the binary form, or the stream form's hex pairs, from a source. Once
// the data has ended every further read yields -1 and ended stays set.
struct OleReader {
  ByteSource source;
  bool hex;
  bool ended = false;
  bool bad_type = false;

  int byte() {
    if (ended) return -1;
    if (!hex) {
      const int c = source();
      if (c == end_of_input) ended = true;
      return c;
    }
    int value = 0;
    for (int i = 0; i < 2; ++i) {
      const int c = source();
      // The code's end (or the input's) ends the object: a length that points
      // past the data never reads on into the codes after it.
      if (c == end_of_input || c == US || c == RS) {
        if (c == RS && source == &b_getc) b_unget(c);
        ended = true;
        return -1;
      }
      const int digit = xton(c);
      value = value * 16 + (digit < 0 ? 0 : digit);
    }
    return value;
  }
  std::int32_t i32() {
    unsigned char b[4];
    for (auto &x : b) x = static_cast<unsigned char>(byte());
    return PtrInt32(b, 0);
  }
  std::int16_t i16() {
    unsigned char b[2];
    for (auto &x : b) x = static_cast<unsigned char>(byte());
    return static_cast<std::int16_t>(PtrInt16(b, 0));
  }
  bool string(OleString &s) {
    s.length = i32();
    if (ended || s.length < 0 || s.length > max_string_length) return false;
    if (s.length == 0) return true;
    s.text = static_cast<char *>(KIVmalloc(static_cast<std::size_t>(s.length) + 1));
    if (!s.text) return false;
    for (std::int32_t i = 0; i < s.length; ++i) s.text[i] = static_cast<char>(byte());
    return !ended;
  }
  bool data(std::int32_t size, BufferHandle &buffer) {
    if (size < 0) return false;
    buffer = bufinit(data_buffer_size);
    if (buffer == -1) return false;
    for (std::int32_t i = 0; i < size; ++i) {
      const int c = byte();
      if (ended) return false;
      bufput(c, buffer);
    }
    return true;
  }
};

struct OleWriter {
  ByteSink sink;
  bool hex;

  void byte(int b) {
    if (hex) {
      sink(ntox((b >> 4) & 15));
      sink(ntox(b & 15));
    } else {
      sink(b & 0xFF);
    }
  }
  void i32(std::int32_t v) {
    unsigned char b[4];
    Int32Ptr(v, b, 0);
    for (unsigned char x : b) byte(x);
  }
  void i16(int v) {
    unsigned char b[2];
    Int16Ptr(v, b, 0);
    for (unsigned char x : b) byte(x);
  }
  void string(const OleString &s) {
    i32(s.length);
    for (std::int32_t i = 0; i < s.length; ++i) byte(s.text ? static_cast<unsigned char>(s.text[i]) : 0);
  }
  // Data buffers keep their bytes: each is taken from the head and put back at the tail.
  void data(std::int32_t size, BufferHandle buffer) {
    i32(size);
    for (std::int32_t i = 0; i < size; ++i) {
      const int c = buffer == -1 ? end_of_input : bufget(buffer);
      if (c != end_of_input) bufput(c, buffer);
      byte(c == end_of_input ? 0 : c);
    }
  }
};

void free_string(OleString &s) {
  KIVfree(s.text);
  s = {};
}

KIVOLEObject *new_object() {
  auto *o = static_cast<KIVOLEObject *>(KIVmalloc(sizeof(KIVOLEObject)));
  if (!o) return nullptr;
  o->native_data = -1;
  o->data = -1;
  return o;
}

KIVOLEObject *read_object(OleReader &r, int depth, bool check_version) {
  if (depth > max_nesting) return nullptr;
  KIVOLEObject *o = new_object();
  if (!o) return nullptr;
  o->version = r.i32();
  o->type = r.i32();
  bool ok = !r.ended && (!check_version || o->version == ole_version || o->version == ole_version_old);
  if (ok) {
    switch (o->type) {
      case ole_none: break;
      case ole_linked:
        ok = r.string(o->class_name) && r.string(o->topic) && r.string(o->item) && r.string(o->network_name);
        if (ok) {
          o->link_option1 = r.i16();
          o->link_option2 = r.i16();
          o->link_option3 = r.i32();
          ok = !r.ended && (o->pres = read_object(r, depth + 1, check_version)) != nullptr;
        }
        break;
      case ole_embedded:
        ok = r.string(o->class_name) && r.string(o->topic) && r.string(o->item);
        if (ok) {
          o->native_size = r.i32();
          ok = !r.ended && r.data(o->native_size, o->native_data) &&
               (o->pres = read_object(r, depth + 1, check_version)) != nullptr;
        }
        break;
      case ole_static:
      case ole_presentation:
        ok = r.string(o->class_name);
        if (ok) {
          o->pres_width = r.i32();
          o->pres_height = r.i32();
          if (o->type == ole_presentation && o->pres_width == 0) {
            o->clipboard_name.length = o->pres_height;
            const std::int32_t n = o->pres_height;
            ok = !r.ended && n >= 0 && n <= max_string_length;
            if (ok && n > 0) {
              o->clipboard_name.text = static_cast<char *>(KIVmalloc(static_cast<std::size_t>(n) + 1));
              ok = o->clipboard_name.text != nullptr;
              for (std::int32_t i = 0; ok && i < n; ++i) o->clipboard_name.text[i] = static_cast<char>(r.byte());
            }
          }
          if (ok) {
            o->data_size = r.i32();
            ok = !r.ended && r.data(o->data_size, o->data);
          }
        }
        break;
      default:
        r.bad_type = true;
        ok = false;
        break;
    }
  }
  if (!ok || r.ended) {
    FreeOLE(o);
    return nullptr;
  }
  if (o->type == ole_linked) KIVRefListAddName(o->topic.text ? o->topic.text : "", 1);
  return o;
}

void write_object(OleWriter &w, const KIVOLEObject *o) {
  if (!o) {
    // A missing nested object is written as an empty one, so the form reads back.
    w.i32(ole_version);
    w.i32(ole_none);
    return;
  }
  w.i32(o->version);
  w.i32(o->type);
  switch (o->type) {
    case ole_linked:
      w.string(o->class_name);
      w.string(o->topic);
      w.string(o->item);
      w.string(o->network_name);
      w.i16(o->link_option1);
      w.i16(o->link_option2);
      w.i32(o->link_option3);
      write_object(w, o->pres);
      break;
    case ole_embedded:
      w.string(o->class_name);
      w.string(o->topic);
      w.string(o->item);
      w.data(o->native_size, o->native_data);
      write_object(w, o->pres);
      break;
    case ole_static:
    case ole_presentation:
      w.string(o->class_name);
      w.i32(o->pres_width);
      w.i32(o->pres_height);
      if (o->type == ole_presentation && o->pres_width == 0)
        for (std::int32_t i = 0; i < o->clipboard_name.length; ++i)
          w.byte(o->clipboard_name.text ? static_cast<unsigned char>(o->clipboard_name.text[i]) : 0);
      w.data(o->data_size, o->data);
      break;
    default: break;
  }
}

// Raises in_ole for the length of a read or write; every return lowers it.
struct DepthGuard {
  int entry;
  DepthGuard() : entry(ole.in_ole++) {}
  ~DepthGuard() { ole.in_ole = entry; }
  DepthGuard(const DepthGuard &) = delete;
  DepthGuard &operator=(const DepthGuard &) = delete;
};

// A decimal parameter from a source: digits accumulate, other bytes are
// ignored, US ends it. False at RS or the end.
bool read_decimal(ByteSource source, std::int32_t &value) {
  std::int64_t v = 0;
  for (;;) {
    const int c = source();
    if (c == US) {
      value = static_cast<std::int32_t>(v);
      return true;
    }
    if (c == RS || c == end_of_input) {
      if (c == RS && source == &b_getc) b_unget(c);
      return false;
    }
    if (c >= '0' && c <= '9') v = std::min<std::int64_t>(v * 10 + (c - '0'), INT32_MAX);
  }
}

void sink_text(ByteSink sink, std::string_view text) {
  for (char c : text) sink(static_cast<unsigned char>(c));
}

void sink_number(ByteSink sink, long long value) {
  char text[24];
  auto *end = text + sizeof text;
  auto *p = end;
  const bool negative = value < 0;
  unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  do {
    *--p = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  if (negative) *--p = '-';
  sink_text(sink, std::string_view(p, static_cast<std::size_t>(end - p)));
  sink(US);
}

const KIVOLEObject *presentation_of(const KIVOLEObject *o) {
  if (o && (o->type == ole_linked || o->type == ole_embedded)) return o->pres;
  return o;
}

KIVOLEObject *presentation_of(KIVOLEObject *o) {
  if (o && (o->type == ole_linked || o->type == ole_embedded)) return o->pres;
  return o;
}

// The absolute value; the most negative value, which has none, gives the largest.
int magnitude(std::int32_t v) { return v >= 0 ? v : (v == INT32_MIN ? INT32_MAX : -v); }

bool has_presentation(const KIVOLEObject *o) { return o && (o->type == ole_static || o->type == ole_presentation); }

// Replaces a data buffer's bytes with everything the source gives.
void replace_data(std::int32_t &size, BufferHandle &buffer, ByteSource source) {
  if (buffer != -1) bufclose(buffer);
  buffer = bufinit(data_buffer_size);
  size = 0;
  if (buffer == -1) return;
  for (int c = source(); c != end_of_input; c = source()) {
    bufput(c, buffer);
    ++size;
  }
}

void hand_out_data(std::int32_t size, BufferHandle buffer, ByteSink sink) {
  for (std::int32_t i = 0; i < size && buffer != -1; ++i) {
    const int c = bufget(buffer);
    if (c == end_of_input) break;
    bufput(c, buffer);
    sink(c);
  }
}

// What to put in front of, or leave out of, presentation data in a file.
struct DataLayout {
  std::int32_t skip = 0;
  bool bitmap_file_header = false;
};

DataLayout layout_for(const KIVOLEObject *o) {
  DataLayout layout;
  const char *name = o->class_name.text ? o->class_name.text : "";
  if (stricmp(name, "METAFILEPICT") == 0) layout.skip = 8;  // the metafile-picture header
  // Deliberate: a device-independent bitmap gets a bitmap file header in front
  // rather than losing its own header, so that the file is a picture that can
  // be recognised and converted.
  else if (stricmp(name, "DIB") == 0) layout.bitmap_file_header = true;
  return layout;
}

// The 14-byte file header of a bitmap whose information header starts the chunk.
void write_bitmap_file_header(int h, const unsigned char *chunk, int length, std::int32_t data_size) {
  std::int32_t header_size = length >= 4 ? PtrInt32(chunk, 0) : 40;
  const int bit_count = length >= 16 ? PtrUInt16(chunk + 14, 0) : 24;
  const std::int32_t compression = length >= 20 ? PtrInt32(chunk + 16, 0) : 0;
  const std::int32_t used = length >= 36 ? PtrInt32(chunk + 32, 0) : 0;
  std::int64_t palette = 0;
  if (header_size == 12) palette = bit_count <= 8 ? 3LL << bit_count : 0;
  else if (bit_count <= 8) palette = 4LL * (used > 0 && used <= 256 ? used : 1 << bit_count);
  else if (compression == 3 && header_size == 40) palette = 12;
  header_size = std::clamp<std::int32_t>(header_size, 0, data_size);
  unsigned char header[14] = {'B', 'M'};
  Int32Ptr(static_cast<std::int32_t>(std::min<std::int64_t>(14LL + data_size, INT32_MAX)), header + 2, 0);
  Int32Ptr(static_cast<std::int32_t>(std::min<std::int64_t>(14LL + header_size + palette, INT32_MAX)), header + 10, 0);
  KIVwrite(h, header, sizeof header);
}

// A data buffer into a new file, block by block; 0, -1 or 8.
int data_to_file(std::int32_t size, BufferHandle buffer, const char *file, DataLayout layout,
                 const KIVOLEHeader *header) {
  ScopedBlock block(block_size);
  if (!block) return exit_no_memory;
  const int h = KIVopen(file, open_create, 2);
  if (h == -1) return -1;
  bool first = true;
  bool failed = false;
  const std::int32_t written_size = std::max<std::int32_t>(0, size - layout.skip);
  std::int32_t index = 0;
  while (index < size && !failed) {
    int filled = 0;
    while (filled < block_size && index < size) {
      const int c = buffer == -1 ? end_of_input : bufget(buffer);
      if (c == end_of_input) {
        index = size;
        break;
      }
      bufput(c, buffer);
      if (index++ >= layout.skip) block.get()[filled++] = static_cast<unsigned char>(c);
    }
    if (filled == 0) continue;
    if (first) {
      if (layout.bitmap_file_header) write_bitmap_file_header(h, block.get(), filled, written_size);
      if (GraphicsOptionFlag & 0x400) {
        KIVGraphic g{};
        g.format = -1;
        g.frameWidth = header ? header->width : 0;
        g.frameHeight = header ? header->height : 0;
        KIVGraphAddHeader(h, block.get(), filled, &g);
      }
      first = false;
    }
    if (KIVwrite(h, block.get(), filled) != filled) failed = true;
  }
  KIVclose(h);
  if (failed) {
    remove_picture_file(file, false);
    return -1;
  }
  return 0;
}

// Copies one file into another in blocks; a short write removes the copy. 0, -1 or 8.
int copy_file(const char *from, const char *to) {
  ScopedBlock block(block_size);
  if (!block) return exit_no_memory;
  const int in = KIVopen(from, open_read, 1);
  if (in == -1) return -1;
  const int out = KIVopen(to, open_create, 2);
  if (out == -1) {
    KIVclose(in);
    return -1;
  }
  bool failed = false;
  for (int got; !failed && (got = KIVread(in, block.get(), block_size)) > 0;)
    failed = KIVwrite(out, block.get(), got) != got;
  KIVclose(in);
  KIVclose(out);
  if (failed) {
    remove_picture_file(to, false);
    return -1;
  }
  return 0;
}

int data_from_file(std::int32_t &size, BufferHandle &buffer, const char *file) {
  ScopedBlock block(block_size);
  if (!block) return exit_no_memory;
  const int h = KIVopen(file, open_read, 1);
  if (h == -1) return -1;
  if (buffer != -1) bufclose(buffer);
  buffer = bufinit(data_buffer_size);
  size = 0;
  if (buffer == -1) {
    KIVclose(h);
    return exit_no_memory;
  }
  for (int got; (got = KIVread(h, block.get(), block_size)) > 0;) {
    bufputs(buffer, block.get(), got);
    size += got;
  }
  KIVclose(h);
  return 0;
}

// Presentation sizes: from the header, or the object's presentation size for both pairs.
void object_sizes(const KIVOLEObject *o, const KIVOLEHeader *header, std::int32_t &width, std::int32_t &height,
                  std::int32_t &frame_width, std::int32_t &frame_height) {
  if (header) {
    width = header->width;
    height = header->height;
    frame_width = header->frameWidth;
    frame_height = header->frameHeight;
  } else {
    width = frame_width = GetOLEPresDataWidth(o);
    height = frame_height = GetOLEPresDataHeight(o);
  }
}

void sink_short_igr(ByteSink sink, const char *name) {
  sink(ESC);
  sink(GS);
  sink_text(sink, "IGR");
  sink_text(sink, name);
  sink(US);
  sink(RS);
}

}  // namespace

void reset_ole_objects() { ole = {}; }

void SetOLEPutFunc(ByteSink sink) { ole.putfunc = sink; }
void SetOLEGetFunc(ByteSource source) { ole.getfunc = source; }

KIVOLEObject *ReadOLE(ByteSource source) {
  SetOLEGetFunc(source);
  OleReader r{source, false};
  KIVOLEObject *o = read_object(r, 0, true);
  if (r.bad_type) KIVexit(exit_bad_object);
  return o;
}

KIVOLEObject *ReadOLEICF(KIVOLEHeader **header, ByteSource source) {
  SetOLEGetFunc(source);
  DepthGuard guard;
  KIVOLEHeader *made = nullptr;
  if (guard.entry == 0) {
    if (header) *header = nullptr;
    std::int32_t count = 0;
    if (!read_decimal(source, count) || count < 5) return nullptr;
    made = static_cast<KIVOLEHeader *>(KIVmalloc(sizeof(KIVOLEHeader)));
    if (!made) return nullptr;
    *made = default_header;
    std::int32_t *fields[] = {&made->hdr1, &made->frameWidth, &made->frameHeight, &made->width, &made->height,
                              &made->hdr6, &made->hdr7, &made->hdr8, &made->hdr9};
    for (std::int32_t i = 0; i < count; ++i) {
      std::int32_t value = 0;
      if (!read_decimal(source, value)) {
        KIVfree(made);
        return nullptr;
      }
      if (i < 9) *fields[i] = value;
    }
    if (header) *header = made;
  }
  OleReader r{source, true};
  KIVOLEObject *o = read_object(r, 0, false);
  if (r.bad_type) {
    if (header && *header == made) *header = nullptr;
    KIVfree(made);
    KIVexit(exit_bad_object);
  }
  if (!header) KIVfree(made);
  return o;
}

void WriteOLE(KIVOLEObject *object, ByteSink sink) {
  SetOLEPutFunc(sink);
  if (!object) return;
  OleWriter w{sink, false};
  write_object(w, object);
}

void WriteOLEICF(KIVOLEObject *object, const KIVOLEHeader *header, ByteSink sink) {
  SetOLEPutFunc(sink);
  if (!object) return;
  DepthGuard guard;
  const bool outer = guard.entry == 0;
  if (outer) {
    sink(ESC);
    sink(GS);
    sink_text(sink, "OLE");
    const KIVOLEHeader &h = header ? *header : default_header;
    sink_number(sink, 9);
    for (std::int32_t v : {h.hdr1, h.frameWidth, h.frameHeight, h.width, h.height, h.hdr6, h.hdr7, h.hdr8, h.hdr9})
      sink_number(sink, v & 0xFFFF);
  }
  OleWriter w{sink, true};
  write_object(w, object);
  if (outer) {
    sink(US);
    sink(RS);
  }
}

KIVOLEObject *MakeEmptyOLE(int type, const char *class_name, const char *topic, const char *item) {
  if (type != ole_none && type != ole_linked && type != ole_embedded && type != ole_static &&
      type != ole_presentation)
    return nullptr;
  KIVOLEObject *o = new_object();
  if (!o) return nullptr;
  o->version = ole_version;
  o->type = type;
  const auto copy = [](OleString &s, const char *text) {
    // Made strings count their NUL.
    const std::string_view t(text ? text : "");
    s.length = static_cast<std::int32_t>(t.size() + 1);
    s.text = new_string(t);
    return s.text != nullptr;
  };
  bool ok = true;
  if (type != ole_none) ok = copy(o->class_name, class_name);
  if (ok && (type == ole_linked || type == ole_embedded)) ok = copy(o->topic, topic) && copy(o->item, item);
  if (ok && type == ole_linked) ok = copy(o->network_name, nullptr);
  if (!ok) {
    FreeOLE(o);
    return nullptr;
  }
  return o;
}

void FreeOLE(KIVOLEObject *object) {
  // Nested objects are freed one after the other, not by recursion.
  while (object) {
    for (OleString *s : {&object->class_name, &object->topic, &object->item, &object->network_name,
                         &object->clipboard_name})
      free_string(*s);
    if (object->native_data != -1) bufclose(object->native_data);
    if (object->data != -1) bufclose(object->data);
    KIVOLEObject *next = object->pres;
    KIVfree(object);
    object = next;
  }
}

int GetOLEType(const KIVOLEObject *object) { return object ? object->type : 0; }

int IsLinkedOLE(const KIVOLEObject *object) {
  if (!object) return -1;
  return object->type == ole_linked ? 1 : 0;
}

const char *GetOLEClassString(const KIVOLEObject *object) {
  if (!object || object->type == ole_none) return nullptr;
  return object->class_name.text;
}

const char *GetOLETopicString(const KIVOLEObject *object) {
  if (!object || (object->type != ole_linked && object->type != ole_embedded)) return nullptr;
  return object->topic.text;
}

const char *GetOLEItemString(const KIVOLEObject *object) {
  if (!object || (object->type != ole_linked && object->type != ole_embedded)) return nullptr;
  return object->item.text;
}

const char *GetOLEClipboardFormatString(const KIVOLEObject *object) {
  if (!object || object->type != ole_presentation || object->pres_width != 0) return nullptr;
  return object->clipboard_name.text;
}

int GetOLEPresDataWidth(const KIVOLEObject *object) {
  const KIVOLEObject *p = presentation_of(object);
  if (!has_presentation(p)) return 0;
  return magnitude(p->pres_width);
}

int GetOLEPresDataHeight(const KIVOLEObject *object) {
  const KIVOLEObject *p = presentation_of(object);
  if (!has_presentation(p) || (p->type == ole_presentation && p->pres_width == 0)) return 0;
  return magnitude(p->pres_height);
}

namespace {

// Lengths read from a document may add up past 32 bits: the sum is taken wide.
std::int64_t size_of(const KIVOLEObject *object) {
  if (!object) return 0;
  const auto nested = [](const KIVOLEObject *pres) { return pres ? size_of(pres) : std::int64_t{8}; };
  const std::int64_t strings = std::int64_t{object->class_name.length} + object->topic.length + object->item.length;
  switch (object->type) {
    case ole_linked: return 32 + strings + object->network_name.length + nested(object->pres);
    case ole_embedded: return 24 + strings + object->native_size + nested(object->pres);
    case ole_static:
    case ole_presentation: {
      std::int64_t size = 24 + std::int64_t{object->class_name.length} + object->data_size;
      if (object->type == ole_presentation && object->pres_width == 0) size += object->clipboard_name.length;
      return size;
    }
    default: return 8;
  }
}

}  // namespace

std::int32_t SizeofOLE(const KIVOLEObject *object) {
  return static_cast<std::int32_t>(std::min<std::int64_t>(size_of(object), INT32_MAX));
}

std::int32_t SizeofOLENativeData(const KIVOLEObject *object) {
  return object && object->type == ole_embedded ? object->native_size : 0;
}

void GetOLENativeData(KIVOLEObject *object, ByteSink sink) {
  if (object && object->type == ole_embedded) hand_out_data(object->native_size, object->native_data, sink);
}

void PutOLENativeData(KIVOLEObject *object, ByteSource source) {
  if (object && object->type == ole_embedded) replace_data(object->native_size, object->native_data, source);
}

std::int32_t SizeofOLEPresData(const KIVOLEObject *object) {
  const KIVOLEObject *p = presentation_of(object);
  return has_presentation(p) ? p->data_size : 0;
}

void GetOLEPresData(KIVOLEObject *object, ByteSink sink) {
  KIVOLEObject *p = presentation_of(object);
  if (has_presentation(p)) hand_out_data(p->data_size, p->data, sink);
}

void PutOLEPresData(KIVOLEObject *object, ByteSource source) {
  KIVOLEObject *p = presentation_of(object);
  if (has_presentation(p)) replace_data(p->data_size, p->data, source);
}

int ExtractOLENativeDataToDisk(KIVOLEObject *object, const char *file, const KIVOLEHeader *header) {
  if (!object) return -1;
  if (object->type == ole_linked) return object->topic.text ? copy_file(object->topic.text, file) : -1;
  if (object->type != ole_embedded) return -1;
  return data_to_file(object->native_size, object->native_data, file, {}, header);
}

int ExtractOLENativeDataFromDisk(KIVOLEObject *object, const char *file) {
  if (!object) return -1;
  if (object->type == ole_linked) return object->topic.text ? copy_file(file, object->topic.text) : -1;
  if (object->type != ole_embedded) return -1;
  return data_from_file(object->native_size, object->native_data, file);
}

int ExtractOLEPresDataToDisk(KIVOLEObject *object, const char *file, const KIVOLEHeader *header) {
  KIVOLEObject *p = presentation_of(object);
  if (!has_presentation(p)) return -1;
  return data_to_file(p->data_size, p->data, file, layout_for(p), header);
}

int ExtractOLEPresDataFromDisk(KIVOLEObject *object, const char *file) {
  KIVOLEObject *p = presentation_of(object);
  if (!has_presentation(p)) return -1;
  return data_from_file(p->data_size, p->data, file);
}

int ConvertOLEPresDataToICF(KIVOLEObject *object, ByteSink sink) { return ConvertOLEDataToICF(object, nullptr, sink, 1); }
int ConvertOLENativeDataToICF(KIVOLEObject *object, ByteSink sink) {
  return ConvertOLEDataToICF(object, nullptr, sink, 0);
}
int ConvertOLEPresDataToICFPic(KIVOLEObject *object, const KIVOLEHeader *header, ByteSink sink) {
  return ConvertOLEDataToICF(object, header, sink, 1);
}
int ConvertOLENativeDataToICFPic(KIVOLEObject *object, const KIVOLEHeader *header, ByteSink sink) {
  return ConvertOLEDataToICF(object, header, sink, 0);
}

int ConvertOLEDataToICF(KIVOLEObject *object, const KIVOLEHeader *header, ByteSink sink, int presFirst) {
  InitializeGetIntermediate();
  char a[picture_name_size];
  char b[picture_name_size];
  if (make_temporary_picture(a) != 0) return exit_no_memory;
  if (make_temporary_picture(b) != 0) {
    remove_picture_file(a, false);
    return exit_no_memory;
  }
  const auto extract_pres = [&] { return ExtractOLEPresDataToDisk(object, a, header); };
  const auto extract_native = [&] { return ExtractOLENativeDataToDisk(object, a, header); };
  const bool extracted = presFirst == 1 ? (extract_pres() == 0 || extract_native() == 0)
                                        : (extract_native() == 0 || extract_pres() == 0);
  if (!extracted) {
    remove_picture_file(a, false);
    remove_picture_file(b, false);
    return -1;
  }
  int variant = 0;
  const int format = KIVGetFileFormat(a, &variant);
  if (is_graphic_format(format)) {
    ProcOLEGraphicImage(object, header, sink, a, b, format, variant);
  } else if (CheckConvExist() == 0) {
    const char v[2] = {static_cast<char>('0' + (variant >= 0 && variant <= 9 ? variant : 0)), '\0'};
    if (ConvertGraphicFile(format, 0, a, b, v) == 0) {
      ScopedBlock buffer(block_size);
      const int h = buffer ? KIVopen(b, open_read, 1) : -1;
      if (h != -1) {
        for (int c = GetIntermediateCharacter(h, buffer.get()); c != end_of_input;
             c = GetIntermediateCharacter(h, buffer.get())) {
          if (c != ESC) sink(c);
          else if (CensorICFs(h, buffer.get(), sink) != 0) break;
        }
        KIVclose(h);
      }
    }
  }
  if (!(OLEOptionFlag & keep_ole_files) && !(GraphicsOptionFlag & 0x002)) {
    // A picture named in an IGR code stays until the shutdown removes it.
    if (!(GraphicsOptionFlag & (0x080 | 0x200))) remove_picture_file(a, false);
    remove_picture_file(b, false);
  }
  return 0;
}

int ProcOLEGraphicImage(KIVOLEObject *object, const KIVOLEHeader *header, ByteSink sink, const char *extracted,
                        const char *converted, int format, int variant) {
  if (GraphicsOptionFlag & 0x004) return 0;
  if (GraphicsOptionFlag & 0x100) return WriteOLEPDS(object, header, format, sink);
  if (GraphicsOptionFlag & 0x080) {
    WriteOLEPDS(object, header, format, sink);
    sink_short_igr(sink, extracted);
    AddTempFileName(extracted);
    return 0;
  }
  if (GraphicsOptionFlag & 0x200) {
    sink_short_igr(sink, extracted);
    return 0;
  }
  if (CheckGraphicConvExist() != 0) return -1;
  settings.KIVGraphicFrameWidth = header ? header->frameWidth : GetOLEPresDataWidth(object);
  settings.KIVGraphicFrameHeight = header ? header->frameHeight : GetOLEPresDataHeight(object);
  graphic_converters.GraphicObjectExtents = {0, 0};
  const char v[2] = {static_cast<char>('0' + (variant >= 0 && variant <= 9 ? variant : 0)), '\0'};
  if (ConvertGraphicFile(format, 0, extracted, converted, v) != 0) return -1;
  WriteOLEPDS(object, header, 0, sink);
  sink(ESC);
  sink(GS);
  sink_text(sink, "PCT");
  if (file_to_hex_sink(converted, sink) != 0) return exit_no_memory;
  sink(US);
  sink(RS);
  return 0;
}

int WriteOLEPDS(const KIVOLEObject *object, const KIVOLEHeader *header, int format, ByteSink sink) {
  std::int32_t width, height, frame_width, frame_height;
  object_sizes(object, header, width, height, frame_width, frame_height);
  fit_to_extents(width, height);
  fit_to_extents(frame_width, frame_height);
  sink(ESC);
  sink(GS);
  sink_text(sink, "PDS");
  for (std::int32_t v : {format, 1, 0, 0, width, height, frame_width, frame_height}) sink_number(sink, v);
  sink(RS);
  return 0;
}

int CensorICFs(int fd, unsigned char *buffer, ByteSink sink) {
  if (GetIntermediateCharacter(fd, buffer) != GS) return exit_bad_object;
  char letters[4] = {};
  for (int i = 0; i < 3; ++i) {
    const int c = GetIntermediateCharacter(fd, buffer);
    if (c == end_of_input) return exit_bad_object;
    letters[i] = static_cast<char>(c);
  }
  const bool banned = std::any_of(BannedICFs.begin(), BannedICFs.end(),
                                  [&](const char *name) { return StrToIcfCode(letters) == StrToIcfCode(name); });
  if (!banned) {
    sink(ESC);
    sink(GS);
    for (char c : std::string_view(letters, 3)) sink(static_cast<unsigned char>(c));
    return 0;
  }
  for (int depth = -1; depth != 0;) {
    const int c = GetIntermediateCharacter(fd, buffer);
    if (c == end_of_input) break;
    if (c == RS) ++depth;
    else if (c == GS) --depth;
  }
  return 0;
}

void InitializeGetIntermediate() {
  ole.CharPosition = block_size;
  ole.chars_held = 0;
}

int GetIntermediateCharacter(int fd, unsigned char *buffer) {
  if (ole.CharPosition == block_size) {
    const int got = KIVread(fd, buffer, block_size);
    if (got > 0) {
      ole.CharPosition = 0;
      ole.chars_held = got;
    }
  }
  if (ole.CharPosition >= block_size || ole.CharPosition >= ole.chars_held) return end_of_input;
  return buffer[ole.CharPosition++];
}

int ntox(int n) { return n >= 0 && n <= 9 ? '0' + n : (n >= 10 && n <= 15 ? 'A' + n - 10 : 'X'); }

int xton(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace kiv
