// Words and MIME types for the library's format numbers.
#include "format_names.h"

#include <algorithm>
#include <array>
#include <functional>

namespace identify {

namespace {

// Sorted by code.
constexpr auto format_names = std::to_array<FormatName>({
    {1, "plain text (ASCII)", "text/plain"},
    {2, "EBCDIC text", "text/plain"},
    {3, "intermediate code stream", "application/x-icf"},
    {4, "WordStar document", "application/octet-stream"},
    {5, "Microsoft Word for DOS document", "application/msword"},
    {6, "WordPerfect 4.x document", "application/vnd.wordperfect"},
    {7, "WordPerfect 5.x document", "application/vnd.wordperfect"},
    {8, "PFS family word-processor document", "application/octet-stream"},
    {9, "WordStar 2000 document", "application/octet-stream"},
    {15, "IBM DCA Revisable-Form Text", "application/octet-stream"},
    {17, "XyWrite document", "application/octet-stream"},
    {18, "escape-sequence document", "application/octet-stream"},
    {19, "RTF document", "text/rtf"},
    {20, "Lotus 1-2-3 worksheet", "application/vnd.lotus-1-2-3"},
    {21, "Microsoft Excel workbook", "application/vnd.ms-excel"},
    {32, "IBM Final Form Text", "application/octet-stream"},
    {33, "Ami Pro document", "application/octet-stream"},
    {35, "Interleaf ASCII document", "application/octet-stream"},
    {39, "Microsoft Works document", "application/octet-stream"},
    {43, "Microsoft Word for DOS document (extended header)", "application/msword"},
    {44, "Microsoft Word for Windows 1 or 2 document", "application/msword"},
    {46, "Interleaf ASCII document (later version)", "application/octet-stream"},
    {47, "WiziWord document", "application/octet-stream"},
    {48, "WordPerfect 6 or later document", "application/vnd.wordperfect"},
    {49, "Microsoft Word for Windows 6 or 7 document", "application/msword"},
    {51, "Macintosh word-processor document", "application/octet-stream"},
    {52, "Macintosh word-processor document (second format)", "application/octet-stream"},
    {54, "Microsoft Word for Macintosh document", "application/msword"},
    {56, "Macintosh word-processor document (professional format)", "application/octet-stream"},
    {57, "ClarisWorks document", "application/octet-stream"},
    {58, "Microsoft Works compound document", "application/octet-stream"},
    {59, "WordPerfect for Macintosh 1.x document", "application/octet-stream"},
    {60, "WordPerfect for Macintosh 2 or 3 document", "application/octet-stream"},
    {62, "WriteNow document", "application/octet-stream"},
    {107, "PDF document", "application/pdf"},
    {108, "HTML document", "text/html"},
    {111, "Lotus Word Pro document", "application/octet-stream"},
    {501, "PCX or DCX image", "image/vnd.zbrush.pcx"},
    {502, "TIFF image", "image/tiff"},
    {503, "PostScript", "application/postscript"},
    {504, "PNG image", "image/png"},
    {507, "Microsoft Paint image", "application/octet-stream"},
    {508, "MacPaint image", "application/octet-stream"},
    {512, "GIF image", "image/gif"},
    {513, "BMP or OS/2 bitmap", "image/bmp"},
    {517, "Windows icon", "image/vnd.microsoft.icon"},
    {520, "CorelDRAW drawing", "application/octet-stream"},
    {521, "JPEG image", "image/jpeg"},
    {522, "Sun raster image", "image/x-sun-raster"},
    {524, "XPM image", "image/x-xpixmap"},
    {601, "Lotus PIC graphic", "application/octet-stream"},
    {602, "Macintosh PICT picture", "image/x-pict"},
    {603, "CGM metafile (binary encoding)", "image/cgm"},
    {604, "HP-GL plot", "application/octet-stream"},
    {605, "Windows clipboard file", "application/octet-stream"},
    {606, "WordPerfect Graphics version 1", "application/octet-stream"},
    {607, "IGES drawing", "application/octet-stream"},
    {608, "AutoCAD DXF drawing", "image/vnd.dxf"},
    {609, "graphic file (format 609)", "application/octet-stream"},
    {610, "Windows metafile", "image/wmf"},
    {613, "RGIP metafile", "application/octet-stream"},
    {615, "WordPerfect Graphics version 2", "application/octet-stream"},
    {616, "Xerox Interpress", "application/octet-stream"},
    {619, "PowerPoint presentation", "application/vnd.ms-powerpoint"},
    {624, "FormFlow form", "application/octet-stream"},
    {627, "PowerPoint compound presentation", "application/vnd.ms-powerpoint"},
    {628, "CorelDRAW 6 drawing", "application/octet-stream"},
    {703, "Paradox table", "application/octet-stream"},
    {707, "WordPerfect 5.x merge file", "application/octet-stream"},
    {708, "First Choice database", "application/octet-stream"},
    {770, "dBASE table", "application/x-dbf"},
    {771, "database file (format 771)", "application/octet-stream"},
    {801, "Quattro Pro spreadsheet", "application/octet-stream"},
    {940, "ZIP archive", "application/zip"},
    {950, "other known non-document file", "application/octet-stream"},
});

constexpr bool sorted_by_code() {
  for (std::size_t i = 1; i < format_names.size(); ++i) {
    if (format_names[i - 1].code >= format_names[i].code) return false;
  }
  return true;
}
static_assert(sorted_by_code());

}  // namespace

FormatName library_format(int code) {
  const auto *row = std::ranges::lower_bound(format_names, code, std::less{}, &FormatName::code);
  if (row != format_names.end() && row->code == code) return *row;
  if (code >= 500 && code <= 699) return {code, "graphic format", "application/octet-stream"};
  return {code, "document format", "application/octet-stream"};
}

}  // namespace identify
