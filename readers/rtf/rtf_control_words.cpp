// The table of control words, sorted by name, and its hash index.
#include "rtf_control_words.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace kiv {
namespace {

using enum RtfWord;

constexpr std::array rtf_words = std::to_array<RtfWordEntry>({
    {"aftnsep", skip_destination, 0},  {"aftnsepc", skip_destination, 0},
    {"annotation", skip_destination, 0}, {"ansi", ansi, 0},
    {"ansicpg", ansicpg, 0},           {"atnauthor", skip_destination, 0},
    {"atndate", skip_destination, 0},  {"atnicn", skip_destination, 0},
    {"atnid", skip_destination, 0},    {"atnparent", skip_destination, 0},
    {"atnref", skip_destination, 0},   {"atntime", skip_destination, 0},
    {"author", info_author, 0},        {"b", b, 1},
    {"background", skip_destination, 0}, {"bin", bin, 0},
    {"bkmkend", skip_destination, 0},  {"bkmkstart", bkmkstart, 0},
    {"blue", blue, 0},                 {"brdrb", border_side, 0},
    {"brdrbar", border_side, 0},       {"brdrdash", border_style, 0},
    {"brdrdb", border_style, 0},       {"brdrdot", border_style, 0},
    {"brdrhair", border_style, 0},     {"brdrl", border_side, 0},
    {"brdrnil", border_none, 0},       {"brdrnone", border_none, 0},
    {"brdrr", border_side, 0},         {"brdrs", border_style, 0},
    {"brdrsh", border_style, 0},       {"brdrt", border_side, 0},
    {"brdrtbl", border_none, 0},       {"brdrth", border_style, 0},
    {"bullet", character, 0x2022},     {"buptim", skip_destination, 0},
    {"caps", caps, 1},                 {"cell", cell, 0},
    {"cellx", cellx, 0},               {"cf", cf, 0},
    {"chftn", chftn, 0},               {"clbrdrb", border_side, 1},
    {"clbrdrl", border_side, 1},       {"clbrdrr", border_side, 1},
    {"clbrdrt", border_side, 1},       {"clmgf", clmgf, 0},
    {"clmrg", clmrg, 0},               {"clvertalb", clvertalb, 0},
    {"clvertalc", clvertalc, 0},       {"clvertalt", clvertalt, 0},
    {"clvmgf", clvmgf, 0},             {"clvmrg", clvmrg, 0},
    {"colorschememapping", skip_destination, 0}, {"colortbl", colortbl, 0},
    {"comment", skip_destination, 0},  {"cpg", cpg, 0},
    {"creatim", info_created, 0},      {"datastore", skip_destination, 0},
    {"deff", deff, 0},                 {"dibitmap", dibitmap, 0},
    {"dn", dn, 0},                     {"doccomm", info_comment, 0},
    {"docvar", skip_destination, 0},   {"dy", dy, 0},
    {"emdash", character, 0x2014},     {"emfblip", picture_format, 699},
    {"emspace", character, 0x2003},    {"endash", character, 0x2013},
    {"enspace", character, 0x2002},    {"f", f, 0},
    {"falt", skip_destination, 0},     {"fcharset", fcharset, 0},
    {"field", field, 0},               {"filetbl", skip_destination, 0},
    {"fldinst", fldinst, 0},           {"fldrslt", fldrslt, 0},
    {"fonttbl", fonttbl, 0},           {"footer", footer, 0},
    {"footerf", footer, 0},            {"footerl", footer, 0},
    {"footerr", footer, 0},            {"footnote", footnote, 0},
    {"fs", fs, 24},                    {"ftnalt", ftnalt, 0},
    {"ftncn", skip_destination, 0},    {"ftnsep", skip_destination, 0},
    {"ftnsepc", skip_destination, 0},  {"generator", skip_destination, 0},
    {"green", green, 0},               {"header", header, 0},
    {"headerf", header, 0},            {"headerl", header, 0},
    {"headerr", header, 0},            {"hr", hr, 0},
    {"i", i, 1},                       {"ilvl", ilvl, 0},
    {"info", info, 0},
    {"intbl", intbl, 0},               {"itap", itap, 1},
    {"jpegblip", picture_format, 521}, {"keywords", info_keywords, 0},
    {"lang", lang, 0},                 {"ldblquote", character, 0x201C},
    {"levelfollow", levelfollow, 0},   {"levellegal", levellegal, 1},
    {"levelnfc", levelnfc, 0},         {"levelnfcn", levelnfc, 0},
    {"levelnorestart", levelnorestart, 1}, {"levelnumbers", skip_destination, 0},
    {"levelstartat", levelstartat, 1}, {"leveltext", leveltext, 0},
    {"lfolevel", lfolevel, 0},         {"li", li, 0},
    {"line", line, 0},                 {"list", list, 0},
    {"listid", listid, 0},             {"listlevel", listlevel, 0},
    {"listname", skip_destination, 0}, {"listoverride", listoverride, 0},
    {"listoverridestartat", listoverridestartat, 0}, {"listoverridetable", listoverridetable, 0},
    {"listtable", listtable, 0},       {"listtext", list_text, 0},
    {"lquote", character, 0x2018},     {"ls", ls, 0},
    {"ltrmark", none, 0},              {"mac", mac, 0},
    {"macpict", picture_format, 602},  {"min", min, 0},
    {"mmathPr", skip_destination, 0},  {"mo", mo, 0},
    {"nestcell", nestcell, 0},         {"nestrow", nestrow, 0},
    {"nesttableprops", skip_destination, 0}, {"nonesttables", skip_destination, 0},
    {"nonshppict", picture_alternative, 1}, {"nosupersub", nosupersub, 0},
    {"objdata", skip_destination, 0},  {"object", text_destination, 0},
    {"operator", info_operator, 0},    {"page", page, 0},
    {"panose", skip_destination, 0},   {"par", par, 0},
    {"pard", pard, 0},                 {"pc", pc, 0},
    {"pca", pca, 0},                   {"pgdsctbl", skip_destination, 0},
    {"pich", pich, 0},                 {"pichgoal", pichgoal, 0},
    {"picscalex", picscalex, 100},     {"picscaley", picscaley, 100},
    {"pict", pict, 0},                 {"picw", picw, 0},
    {"picwgoal", picwgoal, 0},         {"plain", plain, 0},
    {"pn", skip_destination, 0},       {"pngblip", picture_format, 504},
    {"pntext", list_text, 0},   {"printim", skip_destination, 0},
    {"private", skip_destination, 0},  {"qc", qc, 0},
    {"qd", qj, 0},                     {"qj", qj, 0},
    {"ql", ql, 0},                     {"qmspace", character, 0x2005},
    {"qr", qr, 0},                     {"rdblquote", character, 0x201D},
    {"red", red, 0},                   {"result", text_destination, 0},
    {"revtbl", skip_destination, 0},   {"revtim", info_revised, 0},
    {"row", row, 0},                   {"rquote", character, 0x2019},
    {"rsidtbl", skip_destination, 0},  {"rtlmark", none, 0},
    {"scaps", scaps, 1},               {"sect", sect, 0},
    {"shp", shape, 0},               {"shpinst", shape_instance, 0},  {"shppict", picture_alternative, 0},
    {"shprslt", shape_result, 0},  {"sn", shape_name, 0},
    {"sp", shape_property, 0},       {"strike", strike, 1},
    {"striked", striked, 1},           {"stylesheet", skip_destination, 0},
    {"sub", sub, 0},                   {"subject", info_subject, 0},
    {"super", super, 0},               {"sv", shape_value, 0},
    {"tab", tab, 0},                   {"tc", skip_destination, 0},
    {"template", skip_destination, 0}, {"themedata", skip_destination, 0},
    {"title", info_title, 0},          {"trbrdrb", border_side, 1},
    {"trbrdrh", border_side, 1},       {"trbrdrl", border_side, 1},
    {"trbrdrr", border_side, 1},       {"trbrdrt", border_side, 1},
    {"trbrdrv", border_side, 1},       {"trhdr", trhdr, 0},
    {"trowd", trowd, 0},
    {"trqc", trqc, 0},                 {"trqr", trqr, 0},
    {"trrh", trrh, 0},                 {"txe", skip_destination, 0},
    {"u", u, 0},                       {"uc", uc, 1},
    {"ul", ul, 1},                     {"uld", ul, 1},
    {"uldash", ul, 1},                 {"uldashd", ul, 1},
    {"uldashdd", ul, 1},               {"uldb", uldb, 1},
    {"ulhwave", ul, 1},                {"ulldash", ul, 1},
    {"ulnone", ulnone, 0},             {"ulth", ul, 1},
    {"ulthd", ul, 1},                  {"ulthdash", ul, 1},
    {"ulw", ul, 1},                    {"ulwave", ul, 1},
    {"up", up, 0},                     {"userprops", skip_destination, 0},
    {"v", v, 1},                       {"wbitmap", wbitmap, 0},
    {"wbmbitspixel", wbmbitspixel, 1}, {"wbmwidthbytes", wbmwidthbytes, 0},
    {"wgrffmtfilter", skip_destination, 0}, {"wmetafile", picture_format, 610},
    {"xe", skip_destination, 0},       {"xmlnstbl", skip_destination, 0},
    {"yr", yr, 0},                     {"zwj", none, 0},
    {"zwnj", none, 0},
});

constexpr bool sorted_and_unique() {
  for (std::size_t k = 1; k < rtf_words.size(); ++k)
    if (!(rtf_words[k - 1].name < rtf_words[k].name)) return false;
  return true;
}
static_assert(sorted_and_unique(), "the control words are sorted by name, each once");

// Words are found through an open-addressing index, built at compile time:
// one hash and usually one comparison per control word of the document. A
// word of up to eight letters is hashed and compared as one number, its
// letters packed from the lowest byte up; a longer one letter by letter.
constexpr std::size_t index_size = 4096;
static_assert(index_size >= 8 * rtf_words.size(), "the index stays sparse: unknown words end at an empty slot");

constexpr std::uint64_t pack_word(std::string_view name) {
  std::uint64_t packed = 0;
  for (std::size_t i = 0; i < name.size(); ++i) packed |= std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * i);
  return packed;
}

constexpr std::uint32_t packed_hash(std::uint64_t packed) {
  return static_cast<std::uint32_t>((packed * 0x9E3779B97F4A7C15ull) >> 40);
}

constexpr std::uint32_t long_word_hash(std::string_view name) {
  std::uint32_t hash = 2166136261u;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}

constexpr std::size_t index_slot(std::uint32_t hash) { return (hash ^ (hash >> 15)) & (index_size - 1); }

constexpr std::array<std::int16_t, index_size> word_index = [] {
  std::array<std::int16_t, index_size> index{};
  index.fill(-1);
  for (std::size_t k = 0; k < rtf_words.size(); ++k) {
    const std::string_view name = rtf_words[k].name;
    std::size_t slot = index_slot(name.size() <= rtf_packed_word_max ? packed_hash(pack_word(name)) : long_word_hash(name));
    while (index[slot] >= 0) slot = (slot + 1) & (index_size - 1);
    index[slot] = static_cast<std::int16_t>(k);
  }
  return index;
}();

// The words of up to eight letters packed (0 for longer words).
constexpr std::array<std::uint64_t, rtf_words.size()> packed_names = [] {
  std::array<std::uint64_t, rtf_words.size()> packed{};
  for (std::size_t k = 0; k < rtf_words.size(); ++k)
    if (rtf_words[k].name.size() <= rtf_packed_word_max) packed[k] = pack_word(rtf_words[k].name);
  return packed;
}();

constexpr std::size_t next_slot(std::size_t slot) { return (slot + 1) & (index_size - 1); }

}  // namespace

const RtfWordEntry *find_packed_rtf_word(std::uint64_t packed, std::size_t len) {
  for (std::size_t slot = index_slot(packed_hash(packed));; slot = next_slot(slot)) {
    const std::int16_t k = word_index[slot];
    if (k < 0) return nullptr;
    const auto entry = static_cast<std::size_t>(k);
    if (packed_names[entry] == packed && rtf_words[entry].name.size() == len) return &rtf_words[entry];
  }
}

const RtfWordEntry *find_rtf_word(const char (&word)[rtf_word_max + 1], std::size_t len) {
  if (len <= rtf_packed_word_max) {
    std::uint64_t packed;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&packed, word, sizeof packed);  // the bytes past the word masked off
      if (len < rtf_packed_word_max) packed &= (std::uint64_t{1} << (8 * len)) - 1;
    } else {
      packed = pack_word({word, len});
    }
    return find_packed_rtf_word(packed, len);
  }
  const std::string_view name(word, len);
  for (std::size_t slot = index_slot(long_word_hash(name));; slot = next_slot(slot)) {
    const std::int16_t k = word_index[slot];
    if (k < 0) return nullptr;
    if (rtf_words[static_cast<std::size_t>(k)].name == name) return &rtf_words[static_cast<std::size_t>(k)];
  }
}

}  // namespace kiv
