// OLE objects carried in the intermediate stream: the object record, its
// binary form and its hexadecimal stream form (the OLE code), the accessors,
// the extraction of native and presentation data to files, and the turning of
// an object into stream codes (its presentation as PDS and PCT, or an embedded
// document's own codes less those that would disturb the host document).
#pragma once

#include <array>
#include <cstdint>

#include <icf2html.h>  // OLEOptionFlag

#include "common/types.h"

namespace kiv {

// Object types.
enum OleType : std::int32_t { ole_none = 0, ole_linked = 1, ole_embedded = 2, ole_static = 3, ole_presentation = 5 };

// A counted string: its length as read or written (made strings count their
// NUL) and the bytes, NUL-terminated in memory; null when the length is 0.
struct OleString {
  std::int32_t length;
  char *text;
};

struct KIVOLEObject {
  std::int32_t version;
  std::int32_t type;
  OleString class_name;     // linked, embedded, static, presentation
  OleString topic;          // linked, embedded: the linked file's name
  OleString item;           // linked, embedded
  OleString network_name;   // linked
  std::int16_t link_option1, link_option2;  // linked: carried through
  std::int32_t link_option3;
  std::int32_t native_size; // embedded
  BufferHandle native_data;
  std::int32_t pres_width;  // static, presentation (signed)
  std::int32_t pres_height; // for a presentation of width 0: the clipboard name's length
  OleString clipboard_name; // presentation of width 0
  std::int32_t data_size;   // static, presentation
  BufferHandle data;
  KIVOLEObject *pres;       // linked, embedded: the nested presentation object
};

// The values at the head of an OLE code.
struct KIVOLEHeader {
  std::int32_t hdr1;        // carried through
  std::int32_t frameWidth, frameHeight;
  std::int32_t width, height;  // twips
  std::int32_t hdr6, hdr7;  // default 1000 each
  std::int32_t hdr8, hdr9;  // default 1440 each
};

inline constexpr std::int32_t ole_version = 0x0501;
inline constexpr std::int32_t ole_version_old = 0x0201;

struct OleState {
  int in_ole = 0;                 // nesting depth of the stream-form reader and writer
  ByteSink putfunc = nullptr;
  ByteSource getfunc = nullptr;
  int CharPosition = 1024;        // GetIntermediateCharacter's position in its buffer
  int chars_held = 0;             // bytes in that buffer
};
extern OleState ole;

// The codes an embedded document may not bring into the host document.
inline constexpr std::array<const char *, 2> BannedICFs = {"DID", "SSI"};

// Back to the state at the start of a conversion.
void reset_ole_objects();

void SetOLEPutFunc(ByteSink sink);
void SetOLEGetFunc(ByteSource source);
// One object in binary form (versions 0x0501 and 0x0201 only); new object, or
// null. An object type the form does not have ends the conversion with 5.
KIVOLEObject *ReadOLE(ByteSource source);
// The rest of an OLE code after its letters. At depth 0 the header values come
// first: *header gets a new header the caller frees (null when there are
// fewer than five). A US or RS where object data is due ends the read (null).
KIVOLEObject *ReadOLEICF(KIVOLEHeader **header, ByteSource source);
void WriteOLE(KIVOLEObject *object, ByteSink sink);
// A whole OLE code (at depth 0): letters, header (defaults when null), object, US, RS.
void WriteOLEICF(KIVOLEObject *object, const KIVOLEHeader *header, ByteSink sink);
// A new object of type 0, 1, 2, 3 or 5 with copies of the strings (null: empty);
// null for another type or when memory runs out.
KIVOLEObject *MakeEmptyOLE(int type, const char *class_name, const char *topic, const char *item);
void FreeOLE(KIVOLEObject *object);

int GetOLEType(const KIVOLEObject *object);
int IsLinkedOLE(const KIVOLEObject *object);
const char *GetOLEClassString(const KIVOLEObject *object);
const char *GetOLETopicString(const KIVOLEObject *object);
const char *GetOLEItemString(const KIVOLEObject *object);
const char *GetOLEClipboardFormatString(const KIVOLEObject *object);
int GetOLEPresDataWidth(const KIVOLEObject *object);
int GetOLEPresDataHeight(const KIVOLEObject *object);
// Length of the binary form (a missing nested object counts as an empty one).
std::int32_t SizeofOLE(const KIVOLEObject *object);
std::int32_t SizeofOLENativeData(const KIVOLEObject *object);
void GetOLENativeData(KIVOLEObject *object, ByteSink sink);
void PutOLENativeData(KIVOLEObject *object, ByteSource source);
std::int32_t SizeofOLEPresData(const KIVOLEObject *object);
void GetOLEPresData(KIVOLEObject *object, ByteSink sink);
void PutOLEPresData(KIVOLEObject *object, ByteSource source);

// Native or presentation data to or from a file: 0, -1 (no such data, a file
// that cannot be opened, a short write) or 8 (no memory).
int ExtractOLENativeDataToDisk(KIVOLEObject *object, const char *file, const KIVOLEHeader *header);
int ExtractOLENativeDataFromDisk(KIVOLEObject *object, const char *file);
int ExtractOLEPresDataToDisk(KIVOLEObject *object, const char *file, const KIVOLEHeader *header);
int ExtractOLEPresDataFromDisk(KIVOLEObject *object, const char *file);

// The object as stream codes through sink: 0, -1 or 8.
int ConvertOLEPresDataToICF(KIVOLEObject *object, ByteSink sink);
int ConvertOLENativeDataToICF(KIVOLEObject *object, ByteSink sink);
int ConvertOLEPresDataToICFPic(KIVOLEObject *object, const KIVOLEHeader *header, ByteSink sink);
int ConvertOLENativeDataToICFPic(KIVOLEObject *object, const KIVOLEHeader *header, ByteSink sink);
int ConvertOLEDataToICF(KIVOLEObject *object, const KIVOLEHeader *header, ByteSink sink, int presFirst);
// Picture codes for a picture file extracted from an object: 0, -1 or 8.
int ProcOLEGraphicImage(KIVOLEObject *object, const KIVOLEHeader *header, ByteSink sink, const char *extracted,
                        const char *converted, int format, int variant);
// A PDS code for the object; 0.
int WriteOLEPDS(const KIVOLEObject *object, const KIVOLEHeader *header, int format, ByteSink sink);
// After an ESC read from fd: passes the code's opening to sink, or drops a
// banned code whole. 0, or 5 when no code follows.
int CensorICFs(int fd, unsigned char *buffer, ByteSink sink);
void InitializeGetIntermediate();
// Next byte of fd through a 1024-byte buffer, or -1 at the end.
int GetIntermediateCharacter(int fd, unsigned char *buffer);
// Hex digit of 0..15 ('X' otherwise), and the value of a digit (-1 otherwise).
int ntox(int n);
int xton(int c);

}  // namespace kiv
