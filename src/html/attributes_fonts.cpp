// Character attributes, fonts and colours: the handlers record the wanted state
// in the format record; CheckChanged brings the output up to date before the
// next text, closing and opening tags in fixed orders with FONT outermost.
#include "html/attributes_fonts.h"

#include <bit>
#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "html/document_head.h"
#include "html/entities.h"
#include "html/output.h"
#include "html/output_redirect.h"
#include "html/paragraphs.h"
#include "html/writer.h"
#include "runtime/options.h"
#include "runtime/strings.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"

namespace kiv {

FontsState fonts;

void reset_attributes_fonts() { fonts = {}; }

namespace {

// The parts of a FONT tag around its size digit, face and colour.
constexpr std::string_view font_size_part = "<FONT SIZE=";
constexpr std::string_view font_face_part = " FACE=\"";
constexpr std::string_view font_colour_part = "\" COLOR=\"#";
constexpr std::string_view font_end_part = "\">";
constexpr std::size_t size_digit_at = font_size_part.size();
static_assert(font_size_part.size() + 1 + font_face_part.size() + untrusted_growth * face_size +
                  font_colour_part.size() + 6 + font_end_part.size() + 2 <= font_tag_room);

}  // namespace

constexpr std::array<LanguageRow, language_count> HTMLLangs = {{
    {1052, "AL"},    {1025, "ar"},    {1036, "fr"},    {2060, "fr-BE"}, {2068, "no"},    {1045, "pl"},
    {1026, "bg"},    {1027, "ca"},    {1028, "zh"},    {2052, "zh"},    {1050, "hr"},    {1029, "cs"},
    {1030, "da"},    {1043, "nl"},    {2067, "nl-BE"}, {3081, "en-AU"}, {3000, "en-CA"}, {2057, "en-UK"},
    {1033, "en-US"}, {1035, "fi-FI"}, {3084, "fr-CA"}, {4108, "fr-CH"}, {1031, "de"},    {2055, "de-CH"},
    {1032, "el"},    {1037, "he"},    {1038, "hu"},    {1039, "is"},    {1040, "it"},    {2064, "it-CH"},
    {1041, "ja"},    {1042, "ko"},    {1044, "no"},    {1046, "pt-BR"}, {2070, "pt"},    {1047, "rm"},
    {1048, "ro"},    {1049, "ru"},    {2074, "sr-HR"}, {1051, "sl"},    {1034, "es-ES"}, {2058, "es-MX"},
    {1053, "sv"},    {1054, "th"},    {1055, "tr"},    {1056, "ur"},
}};

constexpr std::array<std::array<const char *, font_map_entries>, 2> font_map = {{
    {"Courier", "Pica", "Elite", "", "", "", "", "", "", ""},
    {"Times Roman", "Times", "Roman", "TimesRoman", "TNR", "Times New Roman", "", "", "", ""},
}};

namespace {

constexpr bool no_language_terminator() {
  for (const LanguageRow &row : HTMLLangs)
    if (row.id == -1) return false;  // -1 ends the table; it is never an id
  return true;
}
static_assert(no_language_terminator());

// Faces the writer names itself.
constexpr const char *fixed_pitch_face = "Courier";

// Open and close tags of the attributes that have tags. The centred block has
// a second form at level 3; the right-aligned block exists only there.
struct AttributeTag {
  std::int32_t bit;
  std::string_view open;
  std::string_view close;
};

constexpr std::array<AttributeTag, 12> attribute_tags = {{
    {attr_superscript,      "<SUP>",                 "</SUP>"},
    {attr_subscript,        "<SUB>",                 "</SUB>"},
    {attr_italic,           "<I>",                   "</I>"},
    {attr_double_underline, "<U>",                   "</U>"},
    {attr_bold,             "<B>",                   "</B>"},
    {attr_strike_out,       "<STRIKE>",              "</STRIKE>"},
    {attr_underline,        "<U>",                   "</U>"},
    {attr_blink,            "<BLINK>",               "</BLINK>"},
    {attr_redline,          "<INS>",                 "</INS>"},
    {attr_fixed_pitch,      "<TT>",                  "</TT>"},
    {attr_centred_block,    "<CENTER>",              "</CENTER>"},
    {attr_right_block,      "<DIV ALIGN=\"RIGHT\">",  "</DIV>"},
}};

constexpr std::string_view centred_block_open_level3 = "<DIV ALIGN=\"CENTER\">";
constexpr std::string_view centred_block_close_level3 = "</DIV>";

// Marks the place of the LANG tag among the opening tags.
constexpr std::int32_t language_place = 0;

// Orders in which tags are written. Closing is not the reverse of opening.
constexpr std::array<std::int32_t, 12> close_order = {
    attr_bold,    attr_italic,  attr_underline,   attr_double_underline, attr_strike_out,  attr_subscript,
    attr_superscript, attr_redline, attr_fixed_pitch, attr_blink,        attr_right_block, attr_centred_block};
constexpr std::array<std::int32_t, 13> open_order = {
    attr_centred_block, attr_blink,       language_place, attr_subscript, attr_superscript,
    attr_redline,       attr_right_block, attr_strike_out, attr_bold,     attr_italic,
    attr_underline,     attr_double_underline, attr_fixed_pitch};
// Around a FONT change (both directions): blink and the right block swap places.
constexpr std::array<std::int32_t, 12> around_font_order = {
    attr_bold,    attr_italic,  attr_underline,   attr_double_underline, attr_strike_out, attr_subscript,
    attr_superscript, attr_redline, attr_fixed_pitch, attr_right_block,  attr_blink,      attr_centred_block};

consteval bool every_tag_once(const auto &order) {
  for (const AttributeTag &tag : attribute_tags) {
    int seen = 0;
    for (std::int32_t bit : order) seen += bit == tag.bit;
    if (seen != 1) return false;
  }
  return true;
}
static_assert(every_tag_once(close_order) && every_tag_once(open_order) && every_tag_once(around_font_order));

// The attributes that have tags.
constexpr std::int32_t tag_bits = [] {
  std::int32_t bits = 0;
  for (const AttributeTag &tag : attribute_tags) bits |= tag.bit;
  return bits;
}();

// Calls write(bit) for the attributes with tags among bits, in the order given.
void for_each_tag(std::int32_t bits, const auto &order, auto write) {
  bits &= tag_bits;
  for (std::int32_t bit : order) {
    if (bits == 0) return;
    if (bits & bit) {
      write(bit);
      bits &= ~bit;
    }
  }
}

// The row of attribute_tags for each bit position (plus one; 0: no tag).
constexpr auto tag_row_of_bit = [] {
  std::array<std::uint8_t, 32> rows{};
  for (std::size_t i = 0; i < attribute_tags.size(); ++i)
    rows[static_cast<std::size_t>(std::countr_zero(static_cast<std::uint32_t>(attribute_tags[i].bit)))] =
        static_cast<std::uint8_t>(i + 1);
  return rows;
}();

const AttributeTag *tag_of(std::int32_t bit) {
  if (bit <= 0 || (bit & (bit - 1)) != 0) return nullptr;  // one bit, one tag
  const std::uint8_t row = tag_row_of_bit[static_cast<std::size_t>(std::countr_zero(static_cast<std::uint32_t>(bit)))];
  return row != 0 ? &attribute_tags[row - 1u] : nullptr;
}

// Writes the open or close tag of one attribute as the level allows.
void write_tag(std::int32_t bit, bool open) {
  const AttributeTag *tag = tag_of(bit);
  if (!tag) return;
  const bool level3 = writer.ver_code >= 2;
  if (bit == attr_right_block && !level3) return;
  if (bit == attr_centred_block && level3) {
    put_str(open ? centred_block_open_level3 : centred_block_close_level3);
    return;
  }
  put_str(open ? tag->open : tag->close);
}

// The attributes whose wanted state differs from what is open.
std::int32_t changed_set(const fmt_info *rec) { return rec->attrs ^ rec->attrs_out; }

void write_language(fmt_info *rec) {
  if (rec->lang == rec->lang_out) return;
  for (const LanguageRow &row : HTMLLangs) {
    if (row.id != rec->lang) continue;
    put_str("<LANG CLASS=\"");
    put_str(row.code);
    put_str("\">");
  }
  rec->lang_out = rec->lang;
}

void write_paragraph_tag(fmt_info *rec) {
  if (rec->align == rec->align_out) return;
  if (writer.GenPTags || rec->align != align_left) {
    if (rec->align == align_left) {
      put_str("<P>", own_line);
    } else {
      put_str("<P", on_fresh_line);
      if (writer.ver_code >= 2) {
        if (rec->align == align_justified) put_str(" ALIGN=JUSTIFY");
        else if (rec->align == align_centred) put_str(" ALIGN=CENTER");
        else if (rec->align == align_right) put_str(" ALIGN=RIGHT");
      }
      put_str(">", end_line);
    }
  }
  rec->align_out = rec->align;
}

// The two face buffers hold the same bytes. Compared a word at a time in line:
// this runs before nearly every run of text.
bool same_face_bytes(const char (&a)[face_size], const char (&b)[face_size]) {
  std::uint64_t difference = 0;
  std::size_t i = 0;
  for (; i + sizeof difference <= face_size; i += sizeof difference) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a + i, sizeof x);
    std::memcpy(&y, b + i, sizeof y);
    difference |= x ^ y;
  }
  static_assert(face_size - sizeof difference * (face_size / sizeof difference) == sizeof(std::uint32_t));
  std::uint32_t x;
  std::uint32_t y;
  std::memcpy(&x, a + i, sizeof x);
  std::memcpy(&y, b + i, sizeof y);
  return (difference | (x ^ y)) == 0;
}

bool font_differs(const fmt_info *rec, bool face_bytes_same) {
  if (rec->font_out.size != rec->font.size) return true;
  for (std::size_t i = 0; i < rec->color.size(); ++i)
    if (rec->color_out[i] != rec->color[i]) return true;
  // The faces are nearly always the same bytes (font_out is a copy of font);
  // only others need the case-blind look.
  if (face_bytes_same) return false;
  return std::strcmp(rec->font_out.face, rec->font.face) != 0 && stricmp(rec->font_out.face, rec->font.face) != 0;
}

// Attribute codes: the bit they switch, on or off, and the level they need.
enum class Needs { any, level2, level3, netscape };

struct AttributeCode {
  std::int32_t code;
  std::int32_t bit;
  bool on;
  Needs needs;
};

constexpr std::array<AttributeCode, 18> attribute_codes = {{
    {code("BBT"), attr_bold,             true,  Needs::any},
    {code("EBT"), attr_bold,             false, Needs::any},
    {code("ITO"), attr_italic,           true,  Needs::any},
    {code("ITF"), attr_italic,           false, Needs::any},
    {code("BUL"), attr_underline,        true,  Needs::any},
    {code("EUL"), attr_underline,        false, Needs::any},
    {code("BDU"), attr_double_underline, true,  Needs::any},
    {code("EDU"), attr_double_underline, false, Needs::any},
    {code("BSO"), attr_strike_out,       true,  Needs::level2},
    {code("ESO"), attr_strike_out,       false, Needs::level2},
    {code("SBS"), attr_subscript,        true,  Needs::level3},
    {code("EBS"), attr_subscript,        false, Needs::level3},
    {code("SPS"), attr_superscript,      true,  Needs::level3},
    {code("EPS"), attr_superscript,      false, Needs::level3},
    {code("BRL"), attr_redline,          true,  Needs::level3},
    {code("ERL"), attr_redline,          false, Needs::level3},
    {code("BFL"), attr_blink,            true,  Needs::netscape},
    {code("EFL"), attr_blink,            false, Needs::netscape},
}};

bool level_allows(Needs needs) {
  switch (needs) {
    case Needs::any: return true;
    case Needs::level2: return writer.ver_code >= 1;
    case Needs::level3: return writer.ver_code >= 2;
    case Needs::netscape: return (writer.Extensions & ext_netscape) != 0;
  }
  return false;
}

void set_attribute(fmt_info *rec, std::int32_t bit, bool on) {
  if (on) rec->attrs |= bit;
  else rec->attrs &= ~bit;
  rec->changed = 1;
}

// The common body of the attribute handlers: skip, check the level, switch.
int switch_attribute(fmt_info *rec, std::int32_t code_number) {
  x_icf();
  for (const AttributeCode &row : attribute_codes) {
    if (row.code != code_number) continue;
    if (level_allows(row.needs)) set_attribute(rec, row.bit, row.on);
    break;
  }
  return 0;
}

// Faces are the same when they differ at most in case (equal bytes take no folding).
bool same_face(const char *a, const char *b) { return stricmp(a, b) == 0; }

// An ASCII lower-case copy of text into buffer (size bytes, NUL-terminated).
constexpr std::string_view lower_copy(const char *text, char *buffer, std::size_t size) {
  std::size_t n = 0;
  for (; text[n] != '\0' && n + 1 < size; ++n)
    buffer[n] = static_cast<char>(to_lower_ascii(static_cast<unsigned char>(text[n])));
  buffer[n] = '\0';
  return {buffer, n};
}

// The entries of font_map in lower case, made once when the library is built.
struct LowerEntry {
  std::array<char, face_size> text{};
  std::size_t length = 0;
  constexpr std::string_view view() const { return {text.data(), length}; }
};
constexpr auto font_map_lower = [] {
  std::array<std::array<LowerEntry, font_map_entries>, font_map.size()> rows{};
  for (std::size_t r = 0; r < font_map.size(); ++r)
    for (std::size_t e = 0; e < font_map_entries; ++e)
      rows[r][e].length = lower_copy(font_map[r][e], rows[r][e].text.data(), face_size).size();
  return rows;
}();

// Replaces a face by its row's first entry when any entry of the row occurs in
// it, ignoring case (rows, then entries, in order; the first hit wins).
void map_face(char *face) {
  char face_lower[face_size];
  const std::string_view haystack = lower_copy(face, face_lower, sizeof face_lower);
  for (std::size_t r = 0; r < font_map.size(); ++r) {
    for (const LowerEntry &entry : font_map_lower[r]) {
      if (entry.length == 0) continue;
      if (haystack.find(entry.view()) != std::string_view::npos) {
        copy_bounded(face, face_max_characters + 1, font_map[r][0]);
        return;
      }
    }
  }
}

// The entry of fonts.known_faces for a face as the stream gives it, made with
// map_face when the face is new. The mapping depends on the face alone.
const KnownFace &known_face(const char *face) {
  const std::size_t length = strnlen(face, face_max_characters);
  for (const KnownFace &entry : fonts.known_faces)
    if (entry.given_length == length && length != 0 && std::memcmp(entry.given.data(), face, length) == 0) return entry;
  KnownFace &slot = fonts.known_faces[fonts.next_known];
  fonts.next_known = (fonts.next_known + 1) % known_face_count;
  slot.given = {};
  std::memcpy(slot.given.data(), face, length);
  slot.given_length = length;
  slot.mapped = slot.given;
  map_face(slot.mapped.data());
  slot.fixed_pitch = same_face(slot.mapped.data(), fixed_pitch_face);
  return slot;
}

}  // namespace

int tt_attr1(fmt_info *rec, std::int32_t code_number) {
  switch (code_number) {
    case code("HNL"): return hard_line_break(rec);
    case code("NBR"): return put_nbsp(rec);
    case code("BCU"):
    case code("ECU"):
      x_icf();
      rec->caps = code_number == code("BCU") ? 1 : 0;  // the main loop upper-cases; no tag
      return 0;
    case code("BHT"):
      // Hidden text stands inside an HTML comment, written at once.
      // Deliberate: the head is not brought out first, so hidden text before
      // any other text of the document puts the head inside the comment.
      x_icf();
      put_str("<!-- ", on_fresh_line);
      return 0;
    case code("EHT"):
      x_icf();
      put_str(" -->", end_line);
      return 0;
    default: return switch_attribute(rec, code_number);
  }
}

int tt_attr2(fmt_info *rec, std::int32_t code_number) { return switch_attribute(rec, code_number); }

int tt_attr3(fmt_info *rec, std::int32_t code_number) { return switch_attribute(rec, code_number); }

int tt_attr_net(fmt_info *rec, std::int32_t code_number) { return switch_attribute(rec, code_number); }

int tt_bcl(fmt_info *rec, std::int32_t code_number) {
  if ((writer.Extensions & (ext_netscape | ext_e)) == 0) return x_icf();
  if (code_number == code("BCL")) {
    std::array<std::int32_t, 4> params;  // the first value is not used
    get_decs(params.data(), static_cast<int>(params.size()));
    rec->color = {params[1], params[2], params[3]};
  } else {
    rec->color = {0, 0, 0};
  }
  x_icf();
  rec->attrs |= attr_colour_set;
  rec->changed = 1;
  return 0;
}

int tt_spf(fmt_info *rec, std::int32_t) {
  std::array<std::int32_t, 5> params;
  get_decs(params.data(), static_cast<int>(params.size()));
  const std::int32_t pitch = params[2];
  std::int32_t size = params[4];
  char face[face_max_characters + 1];
  get_str(face, face_max_characters);
  x_icf();

  if (size < 0) {
    // A size the stream does not give comes from the pitch (10 pitch: 12 point).
    // A zero pitch gives no size: the current one stays.
    size = pitch != 0 ? 2400 / pitch : rec->font.size;
  }
  if (size != rec->font.size) {
    rec->font.size = size;
    rec->attrs |= attr_font_changed;
    rec->changed = 1;
  }
  if (same_face(face, rec->font.face)) return 0;
  const KnownFace &known = known_face(face);
  if (!same_face(known.mapped.data(), rec->font.face)) {
    std::memcpy(rec->font.face, known.mapped.data(), sizeof rec->font.face);
    if (known.fixed_pitch) rec->attrs |= attr_fixed_pitch;
    else rec->attrs &= ~attr_fixed_pitch;
  }
  rec->attrs |= attr_font_changed;
  rec->changed = 1;
  return 0;
}

void CheckChanged(fmt_info *rec) {
  // Deliberate: only here is the head written, so what a code writes at once
  // before the first text (a tab's space, a line break, "&nbsp") precedes it.
  if (!writer.FirstText && !IsRedir()) {
    DropHeading(rec);
    writer.FirstText = 1;
  }
  DropOffAttr(rec);
  DropOnAttr(rec);
}

namespace {

bool single_bit(std::int32_t bits) { return bits > 0 && (bits & (bits - 1)) == 0; }

void close_attribute(fmt_info *rec, std::int32_t bit) {
  if (bit == attr_right_block) {
    if (writer.ver_code < 2) return;
    rec->block_align = 0;
  }
  write_tag(bit, false);
}

}  // namespace

void DropOffAttr(fmt_info *rec) {
  const std::int32_t went_off = changed_set(rec) & rec->attrs_out;
  if (went_off == 0) return;
  if (single_bit(went_off)) {
    close_attribute(rec, went_off);  // one tag: no order to keep
    return;
  }
  for_each_tag(went_off, close_order, [rec](std::int32_t bit) { close_attribute(rec, bit); });
}

void DropOnAttr(fmt_info *rec) {
  write_paragraph_tag(rec);
  if (rec->indent_out == 0) {
    for (std::int32_t level = list_levels(rec->indent); level > 0; --level) put_str("<UL>", end_line);
    rec->indent_out = 1;
  }
  // font_out becomes a copy of font: when it already is one (nearly always), nothing is copied.
  const bool face_bytes_same = same_face_bytes(rec->font_out.face, rec->font.face);
  const bool copy_needed =
      !face_bytes_same || rec->font_out.size != rec->font.size || rec->font_out.flags != rec->font.flags;
  if (font_differs(rec, face_bytes_same)) ApplyFont(rec, rec->font, 1);
  const std::int32_t came_on = changed_set(rec) & rec->attrs;
  if (rec->lang == rec->lang_out && single_bit(came_on)) {
    write_tag(came_on, true);  // one tag: no order to keep
  } else if (came_on != 0 || rec->lang != rec->lang_out) {
    for (std::int32_t bit : open_order) {
      if (bit == language_place) write_language(rec);
      else if (came_on & bit) write_tag(bit, true);
    }
  }
  rec->attrs_out = rec->attrs;
  if (copy_needed) rec->font_out = rec->font;
  rec->changed = 0;
}

void ApplyFont(fmt_info *rec, const FontBlock &block, int flag) {
  EndFont(rec);
  BeginFont(rec, block, flag);
}

namespace {

// The cached tag is for this size digit, face and colour.
bool font_tag_fits(char size_digit, const char *face, const char *digits) {
  const FontsState &t = fonts;
  if (t.length == 0 || t.tag[size_digit_at] != size_digit) return false;
  if (std::memcmp(t.tag.data() + t.colour_at, digits, 6) != 0) return false;
  if (t.face_length < face_size && face[t.face_length] != '\0') return false;
  return std::memcmp(t.face.data(), face, t.face_length) == 0;
}

// Puts the tag together in fonts.tag: size, face, colour and the line end.
void build_font_tag(char size_digit, const char *face, const char *digits) {
  FontsState &t = fonts;
  std::size_t n = 0;
  const auto append = [&](std::string_view text) {
    std::memcpy(t.tag.data() + n, text.data(), text.size());
    n += text.size();
  };
  append(font_size_part);
  t.tag[n++] = size_digit;
  append(font_face_part);
  t.face_length = strnlen(face, face_size);
  std::memcpy(t.face.data(), face, t.face_length);
  // The face is escaped for untrusted documents.
  if (settings.untrusted_output) n += untrusted_form(face, t.face_length, t.tag.data() + n);
  else append({face, t.face_length});
  append(font_colour_part);
  t.colour_at = n;
  append({digits, 6});
  append(font_end_part);
  if (writer.line_ends & 1) t.tag[n++] = '\r';
  if (writer.line_ends & 2) t.tag[n++] = '\n';
  t.length = n;
}

}  // namespace

void BeginFont(fmt_info *rec, const FontBlock &block, int flag) {
  if ((writer.Extensions & ext_netscape) == 0) return;
  char digits[7];
  get_color(rec->color[0], rec->color[1], rec->color[2], digits);
  // Deliberate: the size comes from the block, the face from the record's font
  // (every caller passes that font, or a block with the same face).
  const auto size_digit = static_cast<char>('0' + font_size_number(block.size));  // 1 to 7
  // The tag comes before nearly every run of text, nearly always the same:
  // it is written in one piece, put together only when it changes.
  if (!font_tag_fits(size_digit, rec->font.face, digits)) build_font_tag(size_digit, rec->font.face, digits);
  b_putn(reinterpret_cast<const unsigned char *>(fonts.tag.data()), static_cast<long>(fonts.length));
  rec->color_out = rec->color;
  writer.FontApplied = 1;
  if (flag != 0) StartAttrsAfterFont(rec);
}

void EndFont(fmt_info *rec) {
  if ((writer.Extensions & ext_netscape) == 0) return;
  EndAttrsBeforeFont(rec);
  if (writer.FontApplied) {
    put_str("</FONT>", own_line);
    writer.FontApplied = 0;
  }
}

void EndAttrsBeforeFont(fmt_info *rec) {
  for_each_tag(rec->attrs & ~changed_set(rec), around_font_order, [](std::int32_t bit) { write_tag(bit, false); });
}

void StartAttrsAfterFont(fmt_info *rec) {
  for_each_tag(rec->attrs & ~changed_set(rec), around_font_order, [](std::int32_t bit) { write_tag(bit, true); });
}

void get_color(std::int32_t red, std::int32_t green, std::int32_t blue, char *buffer) {
  constexpr char digits[] = "0123456789abcdef";
  int at = 0;
  for (std::int32_t value : {red, green, blue}) {
    // A value outside 0 to 255 (from a hostile stream) keeps its low byte, so
    // the buffer always holds exactly six digits.
    buffer[at++] = digits[(value >> 4) & 15];
    buffer[at++] = digits[value & 15];
  }
  buffer[at] = '\0';
}

int font_size_number(std::int32_t size) {
  // Upper bounds of sizes 1 to 6, in twentieths of a point; above the last is 7.
  constexpr std::array<std::int32_t, 6> upper = {159, 199, 240, 300, 360, 480};
  for (std::size_t i = 0; i < upper.size(); ++i)
    if (size <= upper[i]) return static_cast<int>(i) + 1;
  return 7;
}

std::int32_t list_levels(std::int32_t indent) {
  // The stream can ask for any indentation; a list deeper than this is no
  // longer a document's, and writing it would only fill the disk.
  const std::int32_t levels = indent / 5;
  if (levels < 0) return 0;
  return levels > max_list_levels ? max_list_levels : levels;
}

// Beyond the last FONT tag, the module keeps no state of its own: the wanted and
// written attributes, fonts and colours live in the format record, FontApplied
// and FirstText in the writer.

}  // namespace kiv
