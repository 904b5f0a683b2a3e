// Pictures in the intermediate stream: the writing side (PDS and PCT, PIC, IGR
// and EGR codes, used by read-side converters) and the reading side that turns
// a code's picture data into a file, through the graphic converter programs.
#pragma once

#include <cstdint>

#include <icf2html.h>  // GraphicsOptionFlag and the other exported settings

#include "common/types.h"

namespace kiv {

// The picture descriptor; lengths in twips, 0 or less meaning not known.
struct KIVGraphic {
  std::int32_t format;       // format number; -1 unknown; 0 after a conversion
  std::int32_t variant;      // the recogniser's variant digit, passed as "-v"
  std::int32_t anchor;       // nonzero: placed at a given position
  std::int32_t hPos;
  std::int32_t vPos;         // carried through, never read
  std::int32_t width;
  std::int32_t height;
  std::int32_t frameWidth;
  std::int32_t frameHeight;
};

// Format numbers with a meaning of their own here.
inline constexpr std::int32_t intermediate_graphic = 0;  // PNG data: the graphic converters' intermediate form
inline constexpr std::int32_t format_gif = 512;
inline constexpr std::int32_t format_jpeg = 521;
inline constexpr std::int32_t format_pict = 602;
inline constexpr std::int32_t format_wpg1 = 606;
inline constexpr std::int32_t format_metafile = 610;
inline constexpr std::int32_t format_wpg2 = 615;
inline constexpr std::int32_t format_unknown_graphic = 699;

struct StreamPictureState {
  KIVGraphic sKIVGraphic{};  // the writer's picture descriptor
  // While set, GetKIVGraphicDataToDisk keeps a code's picture data in
  // retained_data, so that a second attempt converts the same bytes again.
  bool retain_data = false;
  char retained_data[256] = "";
};
extern StreamPictureState stream_pictures;

// Back to the state at the start of a conversion.
void reset_stream_pictures();

// True for the graphic format numbers 500..699.
bool is_graphic_format(int format);
// The number given to a converter: format, except -1, which becomes 0.
int GetGraphConvNum(int format);
int GetGraphConvToNum(int format);
// Fits unknown sizes (0 or less) of a width and height pair to the extents the
// last converter reported.
void fit_to_extents(std::int32_t &width, std::int32_t &height);

// Writes a picture whose bytes come from next: converted into the intermediate
// form when needed, raw when it may not be converted. wrap 1 writes PDS and
// PCT around the data. 0, -1, or the result of PutKIVGraphicData.
int PutKIVGraphic(KIVGraphic *g, ByteSource next, int wrap);
// Stores the bytes in a temporary file, converts and writes them. 0, 9
// (written unconverted), a converter's exit status, or -1 (nothing written).
int PutKIVGraphicData(KIVGraphic *g, ByteSource next, int wrap);
// The same for a picture held in a file. 0 or -1.
int PutKIVGraphicOnDisk(KIVGraphic *g, const char *fileName, int wrap);
// Writes the PDS code for g; 0.
int WritePDS(const KIVGraphic *g);
// Writes a file header to fd in front of chunk when the picture lacks one.
// The format number used, or -1.
int KIVGraphAddHeader(int fd, const unsigned char *chunk, int length, KIVGraphic *g);
// Called after the last chunk when headers are added; 0.
int KIVGraphPostAddHeader();

// Reads the current PCT code's data, converts it to g's format and hands the
// result to sink. 0, -1, or the converter's exit status.
int GetKIVGraphicData(KIVGraphic *g, ByteSink sink);
// Reads the current PCT code's data and converts it into a new file named
// after basePath ("GR", six digits, "." extension); its name goes to outName
// (at least 256 bytes). 0, -1, or the converter's exit status.
int GetKIVGraphicDataToDisk(KIVGraphic *g, const char *basePath, int targetFormat, const char *extension,
                            char *outName);
// Removes the data kept by retain_data and clears the retention.
void drop_retained_data();
// Reads the current EGR code and writes its embedded file beside basePath;
// the name goes to outName (at least 256 bytes). 0 or -1.
int KIVEmbededGrRefToDisk(KIVGraphic *g, const char *basePath, char *outName);

}  // namespace kiv
