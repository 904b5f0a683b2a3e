// Every recogniser against a minimal positive sample, recognised through the full
// sequence (so no earlier recogniser may take it), and against its nearest miss,
// which the recogniser itself must refuse.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <icf2html.h>

#include "recognition/autorec.h"
#include "recognition/recogniser_list.h"
#include "recognition_samples.h"

namespace recognition_test {
namespace {

// A 128-byte compound directory entry named `name` (UTF-16) at 128, with no left
// sibling, in a 384-byte block.
Data directory_block(std::string_view name) {
  Block b(384);
  for (std::size_t k = 0; k < name.size(); ++k) b.put(128 + 2 * k, {static_cast<unsigned char>(name[k]), 0});
  b.put(128 + 68, {0xFF, 0xFF, 0xFF, 0xFF});
  return b;
}

// Ten PackBits rows of 72 bytes, each a run of 68 and a literal of 4.
Data macpaint(int overshooting_row) {
  Block b(2048);
  std::size_t p = 512;
  for (int row = 0; row < 10; ++row) {
    b.put(p, {row == overshooting_row ? 0xB8 : 0xBD, 0x00, 0x03, 'a', 'b', 'c', 'd'});
    p += 7;
  }
  return b;
}

// CGM: BEGIN METAFILE, then `elements` elements of class 1 with two parameter bytes.
Data cgm(int elements, int bad_class) {
  Block b(200);
  b.put(0, {0x00, 0x22, 'a', 'b'});
  std::size_t p = 4;
  for (int k = 1; k <= elements; ++k) {
    const int cls = (k == 3 && bad_class != 0) ? bad_class : 1;
    const unsigned header = static_cast<unsigned>(cls) << 12 | static_cast<unsigned>(k) << 5 | 2;
    b.put(p, {static_cast<int>(header >> 8), static_cast<int>(header & 0xFF), 0, 1});
    p += 4;
  }
  return b;
}

// `count` WordPerfect 4.x C0 functions separated by text, and a longer tail.
Data wp4_functions(int count, bool later_release) {
  Block b;
  for (int k = 0; k < count; ++k) b.append({0xC0, 1, 2, 3, 4, 0xC0}).append("ab");
  if (later_release) b.append({0xF2, 1, 2, 3, 0x00}).append("ab");
  b.append(std::string(160, 'a'));
  return b;
}

Data wpm1_functions(int count) {
  Block b;
  for (int k = 0; k < count; ++k) b.append({0xC1, 0, 0, 0xC1});
  b.append(std::string(10, 'a'));
  return b;
}

Data dot_commands(std::string_view lines) { return Block().append(lines).append(std::string(20, 'x')); }

}  // namespace

std::vector<Sample> recogniser_samples() {
  std::vector<Sample> s;
  auto add = [&s](std::string label, std::string recogniser, Data pos, int code, int variant, Data neg) {
    s.push_back({std::move(label), "auto_tst_" + std::move(recogniser), std::move(pos), code, variant, std::move(neg)});
  };
  Data d;

  d = Block(16).put(0, {0x00, 0x05, 0xE1, 0x03, 0x00}).put(7, {0xE2, 0x05});
  add("rft_v0", "rft", d, 15, 0, with_byte(d, 8, 0x06));
  d = Block(16).put(0, {0x80, 0x00, 0x00, 0x09, 0x20});
  add("rft_v2", "rft", d, 15, 2, truncated(d, 9));

  d = Block(32).put(0, "\xFFWPC").put16(4, 16).put(8, {1, 10, 0, 1});
  add("wp5_document", "wp5", d, 7, 1, with_byte(d, 8, 2));
  add("wp5_six", "wp5", Block(32).put(0, "\xFFWPC").put16(4, 16).put(8, {1, 10, 2, 0}), 48, 0,
      Block(32).put(0, "\xFFWPC").put16(4, 16).put(8, {1, 10, 0, 3}));
  d = Block(64).put(0, "\xFFWPC").put16(4, 16).put(8, {1, 10, 0, 1}).put(16, {'a', 0xDE, 0x31, 2, 0});
  add("wp5_merge", "wp5", d, 707, 1, with_byte(d, 3, 'D'));
  add("wp5_graphic_v1", "wp5", Block(32).put(0, "\xFFWPC").put(8, {1, 22, 1, 0}), 606, 0,
      Block(32).put(0, "\xFFWPC").put(8, {1, 23, 1, 0}));
  add("wp5_graphic_v2", "wp5", Block(32).put(0, "\xFFWPC").put(8, {1, 22, 2, 0}), 615, 0,
      Block(15).put(0, "\xFFWPC").put(8, {1, 22, 2, 0}));

  d = Block(1100).put(0, "ABCDEFGH").put(510, {1}).put(406, "/").put(409, "/").put(414, "/").put(417, "/");
  add("mm", "mm", d, 10, 1, with_byte(d, 409, 'x'));

  d = Block(128).put(0, {'1', 0xBE, 0, 0, 0, 0xAB});
  add("msw_v0", "msw", d, 5, 0, with_byte(d, 5, 0xAC));
  add("msw_v2", "msw", Block(d).put(28, {1}).put(106, {1}).put(116, {1}), 5, 2, with_byte(d, 0, '3'));
  add("msw_extended", "msw", with_byte(d, 96, 1), 43, 0, truncated(with_byte(d, 96, 1), 127));

  d = Block(1536).put(0, "5.0").put(512, {0xB3}).put(1024, {0xB3});
  add("ow", "ow", d, 16, 1, with_byte(d, 1024, 0));

  d = Block(40).put(0, "TBWP").put(26, {0x1A}).put(35, {4});
  add("qaw", "qaw", d, 23, 1, with_byte(d, 3, 'Q'));

  d = Block(10).put(0, {0x81, 0xCD, 0xAB, 0, 0, 20});
  add("en", "en", d, 28, 0, with_byte(d, 5, 49));

  auto pfs_table = [](std::string_view name, std::string_view version) {
    return std::string("\x06") + std::string(name) + std::string(1, '\0') + "\x04" + std::string(version);
  };
  d = Block(660).put(640, pfs_table("WRD PC", "2."));
  add("pfs_v0", "pfs", d, 8, 0, Block(660).put(640, pfs_table("TYPE 5", "2.")));
  add("pfs_v4", "pfs", Block(660).put(640, pfs_table("TYPE 4", "2.")), 8, 4, truncated(d, 659));
  d = Block(660).put(8, "\x0CGERBILDOC4");
  add("pfs_v6", "pfs", d, 8, 6, with_byte(d, 9, 'g'));
  add("pfs_v3", "pfs", Block(660).put(8, "\x0CGERBILDOC ").put(502, {3}), 8, 3, Block(660).put(8, "\x0BGERBILDOC "));

  d = Block(660).put(8, "\x0CGERBILDB");
  add("fcdb", "fcdb", d, 708, 0, with_byte(d, 16, 'C'));

  d = Block(10).put(2, "WS2000");
  add("ws2", "ws2", d, 9, 0, with_byte(d, 7, '1'));

  d = Block(20, 'a').put(2, "_a_ _a___");
  add("dx", "dx", d, 30, 0, with_byte(d, 9, 'x'));

  d = Block(700).put(640, pfs_table("IBM   ", "1."));
  add("ibm", "ibm", d, 13, 0, Block(700).put(640, pfs_table("IBM   ", "2.")));

  add("rtf_upper_v0", "rtf", Block().append("{\\RTF0\\ansi x}"), 19, 0, Block().append("{\\rtg0\\ansi x}"));
  add("rtf_v1", "rtf", Block().append("{\\rtf1\\ansi x}"), 19, 1, Block().append("{\\rtf1"));

  d = Block(30).put(0, {0x9B, 0xA5}).put(24, {0x80, 0x01, 0, 0});
  add("winword_v0", "WinWord", d, 44, 0, with_byte(d, 0, 0x9C));
  add("winword_v1", "WinWord", with_byte(d, 0, 'H'), 44, 1, with_byte(d, 25, 0x02));

  add("ami", "ami", Block().append("[ver]\r\n\t4\r\n[sty]\r\n"), 33, 0, Block().append("[ver]\r\n\t5\r\n[sty]\r\n"));
  add("ami_lf", "ami", Block().append("[ver]\n\t4\n[sty]\r\n"), 33, 0, Block().append("[ver]\n\t4\r[sty]\r\n"));

  d = Block(30).put(0, {0, 0, 2, 0, 6, 4});
  add("wks_v1", "wks", d, 20, 1, with_byte(d, 4, 12));
  d = Block(30).put(0, {0, 0, 0x1A, 0, 2, 0x10, 0x04, 0}).put(20, {1});
  add("wks_v3", "wks", d, 20, 3, with_byte(d, 20, 2));

  d = Block(10).put(0, {0x09, 0, 4, 0, 2, 0, 0x10, 0});
  add("xls_v0", "xls", d, 21, 0, with_byte(d, 6, 0x20));
  d = Block(10).put(0, {0x09, 0x04, 6, 0, 0, 0, 0x10, 0});
  add("xls_v2", "xls", d, 21, 2, with_byte(d, 1, 0x03));

  d = Block(40).put(6, {0xED, 0xFB}).put16(12, 201).put16(24, 2);
  add("fw3", "fw3", d, 29, 0, Block(d).put16(12, 200));

  d = Block(10).put(0, {'m', 0xB3, '5', 0x88, 0x04});
  add("rf", "rf", d, 25, 0, with_byte(d, 4, 0x05));

  d = Block(1152).put(1024, {0x86});
  add("wang", "wang", d, 26, 0, with_byte(with_byte(d, 5, 1), 6, 0xFF));

  d = Block(10).put(0, {0x1A, 'S', 0, 0, 3, 0});
  add("sma", "sma", d, 22, 0, with_byte(d, 4, 4));

  add("lm", "lm", Block(10).put(0, "*R2\r\n"), 24, 0, Block(10).put(0, "*R2\n\r"));

  d = Block(10).put(0, {0x2B, 0xD2, 0x04, 0x85, 0, 0, 0x2B, 0xD1});
  add("fft", "fft", d, 32, 0, with_byte(d, 7, 0xD3));

  d = Block(40).put(0, {0xFE, '4'}).put(10, {1});
  add("mwm_v0", "mwm", d, 54, 0, with_byte(d, 10, 2));
  d = Block(200).put(0, {0xFE, '7'}).put(22, {2}).put(190, {1});
  add("mwm_v2", "mwm", d, 54, 2, with_byte(d, 23, 1));
  add("mwm_v1", "mwm", truncated(d, 192), 54, 1, truncated(d, 39));

  d = Block(20).put(0, {0x00, 0x06, 0x00, 0x02, 0x00, 0x02, 0x00, 0x02}).put(14, {0xFF, 0xFD});
  add("mcw", "mcw", d, 51, 0, Block(d).put(4, {0x20, 0x20}));

  d = Block(150).put(0, {0x00, '.'}).put(135, {0x06, 0x12, 1}).put(140, {1});
  add("mcw2", "mcw2", d, 52, 0, with_byte(d, 140, 2));

  d = Block(512).put(0, {0, 4, 0, 4});
  add("mcwpro", "mcwpro", d, 56, 0, truncated(d, 511));

  d = Block(10).put(0, {2, 0, 0, 3}).put(4, "BOBO");
  add("clworks_v0", "clworks", d, 57, 0, with_byte(d, 7, 'A'));
  add("clworks_v1", "clworks", with_byte(d, 0, 4), 57, 1, with_byte(d, 0, 3));

  d = Block(20, ' ').put(0, "<!ops, 5.0 >").put(17, "5");
  add("ilf_35", "ilf", d, 35, 0, with_byte(d, 4, 'T'));
  add("ilf_46", "ilf", with_byte(d, 17, '8'), 46, 0, with_byte(d, 1, '?'));

  d = Block(20).put(0, "\xFFWPC").put(8, {1, 0x2C, 2, 1});
  add("mwp2_v1", "mwp2", d, 60, 1, with_byte(d, 10, 4));
  add("mwp2_v2", "mwp2", with_byte(d, 10, 3), 60, 2, with_byte(d, 8, 2));

  d = Block(10).put(0, {0x1B, 0x1D, 'D', 'I', 'D'});
  add("com", "com", d, 3, 0, with_byte(d, 4, 'E'));

  d = Block().repeat("\x1B[0$K text ", 2).append("\x1B[$H more ").append("\x1B[0 F end of it");
  add("dif", "dif", d, 18, 0, Block().repeat("\x1B[0$K text ", 2).append("\x1B[$H more ").append("\x1B[9 F end"));

  d = Block(128).put(0, {3, 95, 7, 1}).put16(8, 97).put(96, {0x0D});
  add("db_v1", "db", d, 770, 1, with_byte(d, 2, 13));
  d = Block(128).put(0, {3, 95, 7, 1}).put16(8, 98).put(32, "NAME").put(43, "C").put(64, "AGE").put(75, "N")
          .put(96, "WHEN").put(107, "D");
  add("db_fields_v0", "db", d, 770, 0, with_byte(d, 107, 'X'));

  d = Block(128).put16(0, 30).put(100, {3}).put(121, {10, 0, 20});
  add("pdx_v1", "pdx", d, 703, 1, Block(d).put16(0, 31));
  d = Block(128).put16(0, 30).put(33, {2}).put(89, {10, 0, 20});
  add("pdx_v0", "pdx", d, 703, 0, Block(d).put16(0, 31));

  d = Block(1035).put(1030, "Rich\t");
  add("access", "access", d, 771, 0, with_byte(d, 1033, 'k'));

  d = Block(128).put(0, {0x1D, 0x7D, 0, 0, 'U'}).put(125, {0x7D, 0, 0x1D});
  add("ws5", "ws5", d, 4, 4, with_byte(d, 127, 0));

  add("leg_v1", "leg", Block(11).put(0, "# VV # 5.0"), 37, 1, Block(11).put(0, "# VV # 6.0"));
  add("leg_v2", "leg", Block(11).put(0, {0x55, 0xCE, 0x49, 0xD0, 0x4C, 0xC5, 0x58, 0x06, 0x63, 0x23}), 37, 2,
      Block(10).put(0, {0x55, 0xCE, 0x49, 0xD0, 0x4C, 0xC5, 0x58, 0x06, 0x63, 0x23}));

  d = Block(6).put(0, {0x8F, 0}).put(2, "mdi/");
  add("mdi_short_block", "mdi", d, 103, 0, with_byte(d, 5, '\\'));
  add("interpress", "mdi", Block().append("Interpress/Xerox/3.0 "), 616, 4, Block().append("Interpress/Xerox"));

  d = Block(12).put(0, {0x1B, 'x'}).put(3, "6.0");
  add("op_v0", "op", d, 102, 0, with_byte(d, 5, '1'));
  add("op_v1", "op", Block(12).put(0, {0x1B, 'x'}).put(8, "7.0"), 102, 1, Block(12).put(0, {0x1C, 'x'}).put(8, "7.0"));

  d = Block(24).put(0, "WordPro").put(7, {0x0D, 0xFB}).put(17, {0x05, 0x98, '\\'});
  add("wordpro", "wordpro", d, 111, 0, with_byte(d, 16, 1));

  d = Block(30).put(0, {0, 0, 2, 0, 0x20, 'Q'});
  add("quattro_v0", "quattro", d, 801, 0, with_byte(d, 5, 'R'));
  add("quattro_v2", "quattro", Block(30).put(0, {0, 0, 2, 0, 2, 0x10}), 801, 2, Block(30).put(0, {0, 0, 2, 0, 3, 0x10}));

  d = Block(160).put(0, {0x80, 'M', 'T', '2'});
  add("crystal", "crystal", d, 105, 0, truncated(d, 159));

  d = Block(20).put(0, {'H', 'B', 0xD1, 0x07});
  add("wpl", "wpl", d, 45, 0, with_byte(d, 3, 0x08));

  add("vw_texts", "vw", Block().append("..PAGE 1\r\nsome text\r\n..FOOT page\r\n"), 14, 0,
      Block().append("..PAGE 1\r\nsome text\r\n.FOOT page\r\n"));
  add("vw_sequences", "vw", Block().repeat("line\x14\r\n", 15), 14, 0, Block().repeat("line\x14\r\n", 14));

  d = Block(8).put(0, {0xD7, 0xCD, 0xC6, 0x9A});
  add("wmf_v0", "wmf", d, 610, 0, truncated(d, 3));
  d = Block(8).put(0, {1, 0, 9, 0, 0, 3});
  add("wmf_v1", "wmf", d, 610, 1, with_byte(d, 5, 2));

  d = Block(21).put(2, {0xD3, 0xA8, 0xA8, 0}).put(18, {0x05, 0x18});
  add("os2met", "os2met", d, 623, 0, truncated(d, 20));

  add("tiff_ii", "tiff", Block(8).put(0, {'I', 'I', '*', 0}), 502, 0, Block(8).put(0, {'I', 'I', '+', 0}));
  add("tiff_mm", "tiff", Block(8).put(0, {'M', 'M', 0, '*'}), 502, 0, Block(3).put(0, {'M', 'M', 0}));

  add("gif", "gif", Block(16).put(0, "GIF89a"), 512, 0, Block(16).put(0, "GIG89a"));

  {
    Block b;
    for (int r = 0; r < 4; ++r) b.append(std::string(72, ' ') + "S000000" + std::string(1, '1') + "\n");
    b.resize(330, ' ');
    d = b;
    add("iges", "iges", d, 607, 0, with_byte(d, 81 + 72, 'X'));
  }

  d = Block(200, ' ').put(0, "  0\r\nSECTION\r\n  2\r\nHEADER\r\n");
  add("dxf_text", "dxf", d, 608, 0, Block(200, ' ').put(0, "  0\r\nSECTION\r\n  2\r\nHEADEr\r\n"));
  add("dxf_binary", "dxf", Block(200).put(0, "AutoCAD Binary DXF\r\n"), 608, 2, Block(200).put(0, "AutoCAD Binary DXG\r\n"));

  add("wn", "wn", Block(16).put(0, "WriteNow"), 62, 0, Block(16).put(0, "WriteNot"));

  d = Block(24, 'x').put(2, {0xFB, 0, 1, 9, 9, 9, 9, 9, 0xFA, 0, 1});
  add("wita", "wita", d, 34, 0, with_byte(d, 12, 2));

  d = Block(14).put(0, {0x1B, 'x', 'v'}).put(3, "abc").put(6, "WiziWord");
  add("wizi", "wizi", d, 47, 0, with_byte(d, 13, 'f'));

  add("pdf", "pdf", Block().append("%PDF-1.4\n"), 107, 0, Block().append("%PDG-1.4\n"));

  d = Block(16).put(0, {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10}).put(6, "JFIF");
  add("jpeg_jfif", "jpeg", d, 521, 0, with_byte(d, 10, 'X'));
  d = Block(16).put(0, {0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 0xFF, 0xC4, 0, 0xFF, 0xDA, 0, 0xFF, 0xD9});
  add("jpeg_markers", "jpeg", d, 521, 0, with_byte(d, 10, 0x10));

  d = Block(16).put(0, "RIFF").put(8, "CDR6");
  add("corel_6", "corel", d, 628, 0, Block(16).put(0, "RIFF").put(8, "WAVE"));
  add("corel_riff", "corel", with_byte(d, 11, '5'), 520, 0, truncated(d, 11));
  add("corel_wl", "corel", Block(16).put(0, "WL"), 520, 0, Block(16).put(0, "WM"));

  d = Block(10).put(3, {0x04, 0x03}).put(8, {1});
  add("mgx", "mgx", d, 609, 0, with_byte(d, 8, 3));

  add("rgip", "rgip", Block(16).put(0, "%RGIP_METAFILE"), 613, 0, Block(16).put(0, "%RGIP_METAFILF"));

  d = Block(10).put(0, {'S', 'M', 2, 1});
  add("sdw", "sdw", d, 614, 0, with_byte(d, 3, 2));

  d = Block(64).put(0, "BM").put(14, {40}).put16(28, 8);
  add("bmp_v0", "bmp", d, 513, 0, Block(d).put16(28, 7));
  add("bmp_v3", "bmp", with_byte(d, 30, 1), 513, 3, Block(with_byte(d, 30, 1)).put(0, "MB"));
  add("bmp_v4", "bmp", Block(64).put(0, "BM").put(14, {12}).put16(24, 24), 513, 4,
      Block(64).put(0, "BM").put(14, {12}).put16(24, 2));
  add("bmp_array_icon_v5", "bmp", Block(64).put(0, "BA").put(14, "CI").put(28, {40}).put16(42, 4), 513, 5,
      Block(64).put(0, "BA").put(14, "CX").put(28, {40}).put16(42, 4));

  add("xpm", "xpm", Block().append("/* XPM */\nstatic"), 524, 0, Block().append("/* XPN */\nstatic"));

  d = Block(530).put(522, {0x00, 0x11, 0x02, 0xFF, 0x0C, 0x00});
  add("pict_v0", "pict", d, 602, 0, with_byte(d, 524, 0x03));
  d = Block(16).put(10, {0x11, 0x01});
  add("pict_v1", "pict", d, 602, 1, with_byte(d, 11, 0x02));

  d = Block(36).put(0, {0x59, 0xA6, 0x6A, 0x95});
  add("sunras", "sunras", d, 522, 0, truncated(d, 35));

  d = Block(30).put(0, {0xC5, 0xD0, 0xD3, 0xC6});
  add("eps", "eps", d, 503, 0, with_byte(d, 3, 0xC7));

  d = Block(18).put(0, {1, 0, 0, 0, 1, 0, 8, 0, 0x44, 0, 0, 0, 0, 0x0C, 0x7F, 9, 6});
  add("pic", "pic", d, 601, 0, with_byte(d, 16, 7));

  d = directory_block("WordDocument");
  add("winword6", "WinWord6", d, 49, 0, with_byte(d, 128 + 22, 'T'));
  d = Block(directory_block("Book")).data();
  add("xls5", "xls5", d, 21, 4, with_byte(d, 128 + 6, 'K'));
  d = directory_block("MM");
  add("works3", "works3", d, 39, 1, with_byte(d, 128 + 2, 'N'));
  d = directory_block("PowerPoint Document");
  add("power_627", "power", d, 627, 0, with_byte(d, 128 + 36, 'x'));
  add("power_pp40", "power", directory_block("PP40"), 619, 2, with_byte(directory_block("PP40"), 128 + 68, 0));

  add("html_comment_first", "html", Block().append("<!-- made by hand --><p>text"), 108, 3,
      Block().append("<!- not a comment --><p>text"));
  add("html_tag", "html", Block().append("<HtMl><body>x</body>"), 108, 3, Block().append("text <html without end"));

  add("formflow", "formflow", Block(31).put(0, "FormFlow          1.00"), 624, 0,
      Block(31).put(0, "FormFlow          1.01"));
  add("formflow_encr", "formflow", Block(31).put(0, "FormFlow ENCR     1.00"), 624, 0,
      Block(31).put(0, "FormFlow ENCX     1.00"));

  d = Block(21).put(0, {'V', 'I', 'S', '0', '0', '0', 0x1A});
  add("plx", "plx", d, 201, 0, truncated(d, 20));

  d = Block(21).put(0, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
  add("png", "png", d, 504, 0, truncated(d, 20));

  d = Block(500).put(0, {'Z', 0}).put(92, {0xC9, 0}).put(296, {0xC9, 0});
  add("mas_header", "mas", d, 31, 0, with_byte(d, 296, 0xC8));
  d = Block().append(std::string(90, 'a') + "\r\n" + std::string(200, 'b') + "\r\n" + std::string(200, 'c') + "\r\n")
          .resize(500, 'd');
  add("mas_records", "mas", d,
      31, 0, Block().append(std::string(90, 'a') + "\r\n" + std::string(199, 'b') + "\r\n").resize(500, 'd'));

  d = Block(140).put(0, {1, 0xFE});
  add("works", "works", d, 39, 0, with_byte(d, 1, 0xFD));

  d = Block(33).put(0, "DanM").put(4, {1, 0, 1, 0});
  add("msp", "msp", d, 507, 0, with_byte(d, 6, 0));

  d = Block(8).put(0, {0xB1, 0x68, 0xDE, 0x3A});
  add("dcx", "dcx", d, 501, 1, with_byte(d, 3, 0x3B));

  d = Block(64).put(0, {0x0A, 5, 1, 8});
  add("pcx", "pcx", d, 501, 0, with_byte(d, 1, 11));

  d = Block(31).put(0, {'P', 0xC3, 1, 0, 1, 0});
  add("winclp", "winclp", d, 605, 0, with_byte(d, 4, 0));

  d = Block(51).put(0, {0, 0, 1, 0, 1, 0, 32, 32, 16, 0});
  add("winicon", "winicon", d, 517, 0, with_byte(d, 9, 1));

  d = Block(16).put(0, {0xED, 0xDE, 0xAD, 0x0B, 3});
  add("ppt", "ppt", d, 619, 1, with_byte(d, 4, 5));

  d = Block(12).put(0, {0, 1, '@', 0}).put(4, "DEBR@");
  add("freelance", "freelance", d, 618, 0, with_byte(d, 7, 'S'));

  d = Block(30, ' ').put(0, "ab,xx M11DRAW v1");
  add("wizidraw", "wizidraw", d, 617, 0, with_byte(d, 12, 'X'));

  d = Block(48).put(0, {0x0F, 6, 1, 0});
  add("wpg_nohdr_606", "WPGNoHdr", d, 606, 0, with_byte(d, 2, 2));
  d = Block(48).put(10, {4, 1}).put(14, {0xB0, 4, 0xB0, 4});
  add("wpg_nohdr_615", "WPGNoHdr", d, 615, 0, with_byte(d, 17, 5));

  d = Block(16).put(0, {'?', '_', 3, 0});
  add("misc_v1", "misc", d, 950, 1, with_byte(d, 2, 4));

  add("def", "def", Block().append("$(WY)$(SB)$(PGS)$(AB)\rrest of it"), 36, 0,
      Block().append("$(WY)$(SB)\r$(PGS)$(AB)rest of it"));

  d = Block().repeat("\xAEPG\xAF", 8).append(std::string(12, ' '));
  add("xyw_v1", "xyw", d, 17, 1, Block().repeat("\xAEPG\xAF", 7).append(std::string(12, ' ')));
  add("xyw_md_plus", "xyw", Block().append("\xAEMD+\xAF text").append(std::string(12, ' ')), 17, 2,
      Block().append("\xAE\xC4+\xAF text").append(std::string(12, ' ')));

  add("uniplex", "uniplex", Block().append("L....|....|....|....|....|....T\nHello there\n"), 101, 0,
      Block().append("L....|....|....|....|....|....T\nHello\x01there\n"));

  d = Block(12).put(0, ".** x ").put(6, {0x1E, 0x1F});
  add("ceo", "ceo", d, 104, 0, with_byte(d, 7, ' '));

  add("cgm", "cgm", cgm(8, 0), 603, 0, cgm(8, 9));

  add("wp4_v0", "wp4", wp4_functions(10, false), 6, 0, wp4_functions(9, false));
  add("wp4_v1", "wp4", wp4_functions(10, true), 6, 1, Block(wp4_functions(10, true)).put(3, {0xC1, 'x', 'y', 'z'}));

  d = dot_commands(".pa\n.he head\n.fo foot\n.op\n.mt 3\n.pf on\n");
  add("ws_dot_v0", "ws", d, 4, 0, dot_commands(".pa\n.he head\n.fo foot\nop\nmt 3\n.pf on\n"));
  add("ws_dot_v2", "ws", dot_commands(".RM 60\n.lm 5\n.pa\n.he head\n.fo foot\n.op\n"), 4, 2,
      dot_commands(".****\n.RM 60\n.lm 5\n.pa\n.he head\n.fo foot\n.op\n"));
  {
    Block b;
    for (int k = 0; k < 110; ++k) b.append("wor").append({'d' | 0x80}).append(" ");
    add("ws_word_ends_v2", "ws", b, 4, 2, truncated(b, 99 * 5));
  }

  {
    // WordStar control records: 1D, length - 2, 0, ..., length - 2, 1D.
    Block records;
    for (int k = 0; k < 4; ++k) records.append("text ").append({0x1D, 4, 0, 'x', 4, 0x1D});
    records.append(std::string(30, 'z'));
    Block three;
    for (int k = 0; k < 3; ++k) three.append("text ").append({0x1D, 4, 0, 'x', 4, 0x1D});
    three.append("text ").append({0x1D, 4, 0, 'x', 5, 0x1D}).append(std::string(30, 'z'));
    add("ws_records_v3", "ws", records, 4, 3, three);
  }

  add("wpm1", "wpm1", wpm1_functions(10), 59, 0, wpm1_functions(9));

  add("ptx", "ptx", Block().append("\\SETUP \\TEXT \\COPY \\CMD@ @CPI @CTR end of it"), 27, 0,
      Block().append("\\SETUP \\TEXT \\COPY \\CMD@ \\CPI @CTR end of it"));

  add("hpgl", "hpgl", Block().repeat("IN;SP1;PU0,0;PD100,100;PU;SP0;", 3), 604, 0,
      Block().repeat("In the beginning; there was text.", 3));

  d = Block(12).put(0, {0xDC, 0xFE, 0x18, 0x02});
  add("hvdgrph", "hvdgrph", d, 620, 0, with_byte(d, 3, 3));

  add("mac", "mac", macpaint(-1), 508, 0, macpaint(9));

  d = Block(30).put(0, {'P', 'K', 3, 4});
  add("zip", "zip", d, 940, 0, with_byte(d, 2, 10));

  add("asc_short", "asc", Block().append("abc"), 1, 0, Block().append({'a', 0x01, 'c'}));
  {
    Block lines;
    for (int k = 0; k < 12; ++k) lines.append(std::string(249, 'x') + "\n");
    lines.resize(3000, 'y');
    // Lone CRs beside the LFs make the line ends inconsistent.
    Block mixed = Block(lines.data());
    for (std::size_t at = 100; at < 3000; at += 250) mixed.put(at, "\r");
    add("asc_lf_lines", "asc", lines, 1, 0, mixed);
  }
  {
    // CR CR LF line ends are a kind of their own: a file of them alone is text,
    // but half of them beside as many CR LF ends are too few of either kind.
    Block doubled;
    Block half_and_half;
    for (int k = 0; k < 12; ++k) {
      doubled.append(std::string(250, 'x') + "\r\r\n");
      half_and_half.append(std::string(250, 'x') + (k % 2 == 0 ? "\r\r\n" : "\r\n"));
    }
    add("asc_cr_cr_lf", "asc", doubled.resize(3100, 'y'), 1, 0, half_and_half.resize(3100, 'y'));
  }
  add("asc_postscript", "asc", Block().append("%!PS-Adobe-3.0\n%%Title: x\n"), 503, 1,
      Block().append({0xC5, 0xC5, 0xC5, 0xC5, 0xC5, 0xC5}).append("%!PS\n"));
  {
    // Words of letters above 128, separated by the EBCDIC blank "@"; without the
    // blanks the same letters are no text at all.
    Block ebcdic;
    Block letters_only;
    for (int k = 0; k < 40; ++k) {
      ebcdic.append({0xC8, 0x85, 0x93, 0x93, 0x96, 0x40});
      letters_only.append({0xC8, 0x85, 0x93, 0x93, 0x96, 0x41});
    }
    add("asc_ebcdic", "asc", ebcdic, 2, 0, letters_only);
  }
  return s;
}

namespace {

std::vector<Sample> samples() { return recogniser_samples(); }

// Runs one recogniser directly over data, as the driver would.
int run_recogniser(const std::string &name, const Data &data, int minor = 0) {
  const auto *row = std::find_if(kiv::recogniser_list.begin(), kiv::recogniser_list.end(),
                                 [&](const kiv::Recogniser &r) { return r.name == name; });
  if (row == kiv::recogniser_list.end()) {
    ADD_FAILURE() << "no recogniser " << name;
    return -100;
  }
  Data storage(std::max<std::size_t>(data.size(), 4000), 0);
  std::copy(data.begin(), data.end(), storage.begin());
  kiv::autorec_state = {};
  kiv::autorec_state.bufr = storage.data();
  kiv::autorec_state.len = static_cast<std::int32_t>(data.size());
  kiv::autorec_state.MinorVal = minor;
  const int result = row->test();
  kiv::autorec_state = {};
  return result;
}

int recognise(const Data &data, int expected, int *variant) {
  return AutoRecBlock(data.data(), static_cast<int>(data.size()), expected, variant);
}

class RecogniserSample : public ::testing::TestWithParam<Sample> {};

TEST_P(RecogniserSample, PositiveIsRecognisedThroughTheFullSequence) {
  const Sample &s = GetParam();
  int variant = -99;
  EXPECT_EQ(recognise(s.positive, 0, &variant), s.code);
  EXPECT_EQ(variant, s.variant);
}

TEST_P(RecogniserSample, RecogniserAnswersItsOwnCode) {
  const Sample &s = GetParam();
  EXPECT_EQ(run_recogniser(s.recogniser, s.positive), s.code);
}

TEST_P(RecogniserSample, NearestMissIsRefused) {
  const Sample &s = GetParam();
  EXPECT_EQ(run_recogniser(s.recogniser, s.negative), 0);
}

TEST_P(RecogniserSample, ExpectingTheFormatGivesTheSameAnswer) {
  const Sample &s = GetParam();
  int variant = -99;
  EXPECT_EQ(recognise(s.positive, s.code, &variant), s.code);
  EXPECT_EQ(variant, s.variant);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RecogniserSample, ::testing::ValuesIn(samples()),
                         [](const ::testing::TestParamInfo<Sample> &info) { return info.param.label; });

TEST(RecogniserCoverage, EveryRecogniserHasASample) {
  const std::vector<Sample> all = samples();
  for (const kiv::Recogniser &r : kiv::recogniser_list) {
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const Sample &s) { return s.recogniser == r.name; }))
        << r.name;
  }
}

// Signatures that overlap: the fixed order decides.
TEST(RecogniserOrder, PcxHeaderIsNeverWordPerfect4) {
  Data d = Block(wp4_functions(12, false)).put(0, {0x0A, 5, 1, 8});
  int variant = -1;
  EXPECT_EQ(recognise(d, 0, &variant), 501);
  EXPECT_EQ(recognise(d, 6, &variant), 501) << "the expected format's own test refuses a PCX header";
  EXPECT_EQ(run_recogniser("auto_tst_wp4", d), 0);
  EXPECT_EQ(run_recogniser("auto_tst_wp4", wp4_functions(12, false)), 6);
}

TEST(RecogniserOrder, IconHeaderIsNeverWordPerfect4) {
  Data d = Block(wp4_functions(12, false)).put(0, {0, 0, 1, 0});
  EXPECT_EQ(run_recogniser("auto_tst_wp4", d), 0);
}

TEST(RecogniserOrder, WordPerfectGraphicIsNotADocument) {
  const Data graphic = Block(32).put(0, "\xFFWPC").put16(4, 16).put(8, {1, 22, 1, 0});
  int variant = -1;
  EXPECT_EQ(recognise(graphic, 7, &variant), 606);
  EXPECT_EQ(recognise(with_byte(graphic, 9, 10), 0, &variant), 7);
}

TEST(RecogniserOrder, Lotus123BeforeQuattro) {
  const Data d = Block(30).put(0, {0, 0, 2, 0, 4, 0x04});
  int variant = -1;
  EXPECT_EQ(recognise(d, 0, &variant), 20);
  EXPECT_EQ(run_recogniser("auto_tst_quattro", Block(30).put(0, {0, 0, 2, 0, 1, 0x10})), 801);
}

// The expected format's test runs first and may accept weaker evidence.
TEST(ExpectedFormat, FinalFormTextAcceptsTheBareMark) {
  const Data d = Block(10).put(0, {0x2B, 0xD2, 0x04, 0x85});
  int variant = -1;
  EXPECT_NE(recognise(d, 0, &variant), 32);
  EXPECT_EQ(recognise(d, 32, &variant), 32);
}

TEST(ExpectedFormat, WordPerfect4NeedsTwoFunctions) {
  const Data d = wp4_functions(2, false);
  int variant = -1;
  EXPECT_NE(recognise(d, 0, &variant), 6);
  EXPECT_EQ(recognise(d, 6, &variant), 6);
  EXPECT_NE(recognise(wp4_functions(1, false), 6, &variant), 6);
}

TEST(ExpectedFormat, WordStarNeedsFewerDotCommands) {
  const Data d = dot_commands(".pa\n.he head\n.fo foot\n.op\n");
  int variant = -1;
  EXPECT_EQ(recognise(d, 0, &variant), 1);
  EXPECT_EQ(recognise(d, 4, &variant), 4);
  EXPECT_EQ(variant, 0);
}

TEST(ExpectedFormat, FailingExpectedTestStillRunsTheSequence) {
  int variant = -1;
  EXPECT_EQ(recognise(Block(16).put(0, "GIF89a"), 19, &variant), 512);
  EXPECT_EQ(recognise(Block(16).put(0, "GIF89a"), 12345, &variant), 512);
}

TEST(ExpectedFormat, EscapeSequenceVariantIsNotReportedWhenItFails) {
  // The escape-sequence test leaves -1 behind; a later match without a variant of
  // its own must not report it.
  const Data d = Block(21).put(2, {0xD3, 0xA8, 0xA8, 0}).put(18, {0x05, 0x18});
  int variant = -1;
  EXPECT_EQ(recognise(d, 18, &variant), 623);
  EXPECT_EQ(variant, 0);
}

TEST(BlockDriver, NotRecognisedGivesVariantZero) {
  int variant = -1;
  EXPECT_EQ(recognise(Block(400).put(0, {0x01, 0xFF, 0x02, 0xFE}).resize(400, 0x80), 0, &variant), 0);
  EXPECT_EQ(variant, 0);
}

TEST(BlockDriver, EmptyBlockIsNothingRead) {
  int variant = 7;
  EXPECT_EQ(AutoRecBlock(nullptr, 10, 0, &variant), -2);
  const unsigned char byte = 'a';
  EXPECT_EQ(AutoRecBlock(&byte, 0, 0, &variant), -2);
}

TEST(BlockDriver, LargeBlockIsReadWithinItsLength) {
  // A block longer than the working minimum: tests near its end must stay inside.
  Data d(70000, 'a');
  for (std::size_t k = 80; k < d.size(); k += 81) d[k] = '\n';
  int variant = -1;
  EXPECT_EQ(recognise(d, 0, &variant), 1);
  d.back() = 0xAE;
  d[d.size() - 2] = 0x1B;
  EXPECT_EQ(recognise(d, 0, &variant), 1);
}

}  // namespace
}  // namespace recognition_test
