// The formats that the recogniser answers, each in words, for the programs that
// name a file's format (icf-identify and the Python package).
#pragma once

#include <algorithm>
#include <array>
#include <string_view>

namespace icf2html {

struct FormatName {
  int code;
  std::string_view description;
};

// Sorted by code.
inline constexpr auto format_names = std::to_array<FormatName>({
    {0, "not recognised"},
    {1, "plain text (ASCII)"},
    {2, "EBCDIC text"},
    {3, "intermediate code stream"},
    {4, "WordStar document"},
    {5, "Microsoft Word for DOS document"},
    {6, "WordPerfect 4.x document"},
    {7, "WordPerfect 5.x document"},
    {8, "PFS family word-processor document"},
    {9, "WordStar 2000 document"},
    {15, "IBM DCA Revisable-Form Text"},
    {17, "XyWrite document"},
    {18, "escape-sequence document"},
    {19, "RTF document"},
    {20, "Lotus 1-2-3 worksheet"},
    {21, "Microsoft Excel workbook"},
    {32, "IBM Final Form Text"},
    {33, "Ami Pro document"},
    {35, "Interleaf ASCII document"},
    {39, "Microsoft Works document"},
    {43, "Microsoft Word for DOS document (extended header)"},
    {44, "Microsoft Word for Windows 1 or 2 document"},
    {46, "Interleaf ASCII document (later version)"},
    {47, "WiziWord document"},
    {48, "WordPerfect 6 or later document"},
    {49, "Microsoft Word for Windows 6 or 7 document"},
    {51, "Macintosh word-processor document"},
    {52, "Macintosh word-processor document (second format)"},
    {54, "Microsoft Word for Macintosh document"},
    {56, "Macintosh word-processor document (professional format)"},
    {57, "ClarisWorks document"},
    {58, "Microsoft Works compound document"},
    {59, "WordPerfect for Macintosh 1.x document"},
    {60, "WordPerfect for Macintosh 2 or 3 document"},
    {62, "WriteNow document"},
    {107, "PDF document"},
    {108, "HTML document"},
    {111, "Lotus Word Pro document"},
    {501, "PCX or DCX image"},
    {502, "TIFF image"},
    {503, "PostScript"},
    {504, "PNG image"},
    {507, "Microsoft Paint image"},
    {508, "MacPaint image"},
    {512, "GIF image"},
    {513, "BMP or OS/2 bitmap"},
    {517, "Windows icon"},
    {520, "CorelDRAW drawing"},
    {521, "JPEG image"},
    {522, "Sun raster image"},
    {524, "XPM image"},
    {601, "Lotus PIC graphic"},
    {602, "Macintosh PICT picture"},
    {603, "CGM metafile (binary encoding)"},
    {604, "HP-GL plot"},
    {605, "Windows clipboard file"},
    {606, "WordPerfect Graphics version 1"},
    {607, "IGES drawing"},
    {608, "AutoCAD DXF drawing"},
    {609, "graphic file (format 609)"},
    {610, "Windows metafile"},
    {613, "RGIP metafile"},
    {615, "WordPerfect Graphics version 2"},
    {616, "Xerox Interpress"},
    {619, "PowerPoint presentation"},
    {624, "FormFlow form"},
    {627, "PowerPoint compound presentation"},
    {628, "CorelDRAW 6 drawing"},
    {703, "Paradox table"},
    {707, "WordPerfect 5.x merge file"},
    {708, "First Choice database"},
    {770, "dBASE table"},
    {771, "database file (format 771)"},
    {801, "Quattro Pro spreadsheet"},
    {940, "ZIP archive"},
    {950, "other known non-document file"},
});

constexpr bool sorted_by_code() {
  for (std::size_t i = 1; i < format_names.size(); ++i) {
    if (format_names[i - 1].code >= format_names[i].code) return false;
  }
  return true;
}
static_assert(sorted_by_code());

// Words for a recognition result: its own row, else the kind of format the
// number stands for.
inline std::string_view describe(int code) {
  const auto *row = std::lower_bound(format_names.begin(), format_names.end(), code,
                                     [](const FormatName &f, int c) { return f.code < c; });
  if (row != format_names.end() && row->code == code) return row->description;
  if (code >= 500 && code <= 699) return "graphic format";
  return "document format";
}

}  // namespace icf2html
