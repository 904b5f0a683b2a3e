// The control words the RTF reader acts on, in one sorted table. Words not in
// the table are ignored; destinations not in it are skipped whole when marked
// with \*, as RTF asks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kiv {

enum class RtfWord : std::uint8_t {
  none,
  // destinations
  skip_destination, fonttbl, colortbl, info, info_title, info_author, info_subject, info_keywords,
  info_comment, info_operator, info_created, info_revised, header, footer, footnote, field, fldinst,
  fldrslt, bkmkstart, pict, picture_alternative, shape, shape_instance, shape_property, shape_name,
  shape_value, shape_result, listtable, listoverridetable, leveltext, list_text, text_destination,
  // document and code pages
  ansi, mac, pc, pca, ansicpg, deff, uc, u, bin,
  // fonts and colour table entries
  f, fcharset, cpg, red, green, blue,
  // character format
  plain, b, i, ul, uldb, ulnone, strike, striked, super, sub, nosupersub, up, dn, caps, scaps, v, fs,
  cf, lang, chftn, ftnalt,
  // paragraph format
  pard, ql, qc, qr, qj, li, intbl, itap, ls, ilvl,
  // list and override tables
  list, listlevel, listid, levelnfc, levelstartat, levelfollow, levellegal, levelnorestart, listoverride,
  lfolevel, listoverridestartat,
  // breaks and special characters
  par, line, page, sect, tab, character,
  // tables
  trowd, cellx, cell, row, nestcell, nestrow, clmgf, clmrg, clvmgf, clvmrg, clvertalt, clvertalc,
  clvertalb, trqc, trqr, trrh, trhdr, border_side, border_style, border_none,
  // dates in the information group
  yr, mo, dy, hr, min,
  // pictures
  picture_format, dibitmap, wbitmap, wbmbitspixel, wbmwidthbytes, picw, pich, picwgoal, pichgoal, picscalex, picscaley,
};

struct RtfWordEntry {
  std::string_view name;
  RtfWord word;
  std::int32_t value;  // the character of a character word; a default for flags
};

// A control word as the tokenizer keeps it: at most rtf_word_max letters in
// a buffer of rtf_word_max + 1 bytes (longer words are cut).
inline constexpr std::size_t rtf_word_max = 32;

// The entry for the len letters at the start of word, or null. Every byte of
// the buffer may be read, whatever len is.
const RtfWordEntry *find_rtf_word(const char (&word)[rtf_word_max + 1], std::size_t len);

// Words of up to this many letters can be looked up packed into a number.
inline constexpr std::size_t rtf_packed_word_max = 8;
// The entry for a word of len letters (1 to rtf_packed_word_max) packed into
// a number, its first letter in the lowest byte and zero bytes above its
// last, or null.
const RtfWordEntry *find_packed_rtf_word(std::uint64_t packed, std::size_t len);

}  // namespace kiv
