// Headers, footers, footnotes and endnotes: collected as sub-documents in four
// temporary buffers and written after the body.
#include "html/notes_headers.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>
#include <limits>

#include "html/attributes_fonts.h"
#include "html/output.h"
#include "html/output_redirect.h"
#include "html/writer.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "stream/code_params.h"
#include "stream/temp_buffers.h"

namespace kiv {

NotesState notes;

void reset_notes_headers() { notes = {}; }

namespace {

constexpr int note_buffer_size = 512;  // the temporary buffers raise it to their minimum
constexpr int dump_chunk_size = 4096;  // bytes copied from a buffer to the output at a time

// Note number styles of footnote_style and endnote_style.
constexpr std::int32_t style_arabic = 0;
constexpr std::int32_t style_lower_roman = 4;
constexpr std::int32_t style_upper_roman = 5;

// A repeated mark longer than this is cut: a hostile count must not turn one
// code into megabytes of output.
constexpr std::int32_t mark_repeat_limit = 32;

// The visible mark of a note, written into the text's link and into the
// note's anchor. Bytes, not a string: a repeated mark character may be any byte.
struct NoteMark {
  std::array<char, mark_repeat_limit> bytes{};
  std::size_t length = 0;
};
static_assert(mark_repeat_limit >= static_cast<std::int32_t>(roman_text_size));

int &buffer_of(std::int32_t kind) {
  switch (kind) {
    case subdoc_footnote: return notes.FootnoteBuffer;
    case subdoc_endnote: return notes.EndnoteBuffer;
    case subdoc_header: return notes.HeaderBuffer;
    default: return notes.FooterBuffer;
  }
}

bool is_note(std::int32_t kind) { return kind == subdoc_footnote || kind == subdoc_endnote; }

const SubDocFrame *innermost() {
  return notes.open_count > 0 ? &notes.open[static_cast<std::size_t>(notes.open_count - 1)] : nullptr;
}

NoteMark numbered_mark(std::int32_t number, std::int32_t style) {
  NoteMark mark;
  if (style == style_arabic) {
    const auto result = std::to_chars(mark.bytes.data(), mark.bytes.data() + mark.bytes.size(), number);
    mark.length = static_cast<std::size_t>(result.ptr - mark.bytes.data());
  } else if (style == style_lower_roman || style == style_upper_roman) {
    // The numeral takes the value as unsigned: a negative number shows its low digits.
    mark.length = kivToRoman(static_cast<std::uint32_t>(number), mark.bytes, style == style_lower_roman);
  }
  return mark;
}

NoteMark repeated_mark(std::int32_t count, std::int32_t character) {
  NoteMark mark;
  if (character < 0 || character > 255) return mark;  // no such byte: nothing to show
  const std::int32_t n = count < 0 ? 0 : (count > mark_repeat_limit ? mark_repeat_limit : count);
  for (std::int32_t i = 0; i < n; ++i) mark.bytes[mark.length++] = static_cast<char>(character);
  return mark;
}

void put_mark(const NoteMark &mark) {
  // The mark is not translated into entities.
  put_document_bytes(mark.bytes.data(), mark.length);
}

// "<SUP><A HREF="#FNT0">mark</A></SUP>" in the text, or with NAME in the note.
// The fixed part before the mark is put together and written in one piece.
void put_note_link(std::string_view attribute, std::int32_t kind, std::int32_t number, const NoteMark &mark) {
  MarkupPiece piece;
  piece.add("<SUP><A ");
  piece.add(attribute);
  piece.add(kind == subdoc_endnote ? "ENT" : "FNT");
  piece.add_num(number);
  piece.add("\">");
  piece.write();
  put_mark(mark);
  put_str("</A></SUP>");
}

void count_note(std::int32_t &counter) {
  if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
}

// Reads the parameters of FNT or FTN: the note's kind and its mark.
std::int32_t read_note(std::int32_t code_number, const fmt_info *rec, NoteMark &mark) {
  if (code_number == code("FTN")) {
    mark = numbered_mark(get_dec(), rec->footnote_style);
    return subdoc_footnote;
  }
  const std::int32_t type = get_hex();
  if (type == 0 || type == 2) {
    const std::int32_t high = get_hex();
    const std::int32_t low = get_hex();
    const auto number = static_cast<std::int16_t>(((high & 0xFF) << 8) | (low & 0xFF));
    mark = numbered_mark(number, type == 0 ? rec->footnote_style : rec->endnote_style);
  } else if (type == 1 || type == 3) {
    const std::int32_t count = get_hex();
    mark = repeated_mark(count, get_hex());
  }
  // Any other type reads no mark parameters and gets an empty mark.
  return type >= 2 ? subdoc_endnote : subdoc_footnote;
}

void begin_note(fmt_info *rec, std::int32_t code_number) {
  if (notes.open_count >= subdoc_depth_limit) {
    count_note(notes.uncollected_notes);
    x_icf();
    return;
  }
  NoteMark mark;
  const std::int32_t kind = read_note(code_number, rec, mark);
  x_icf();
  const bool first_of_kind = buffer_of(kind) == -1;
  std::int32_t &counter = kind == subdoc_endnote ? notes.EndnoteNum : notes.FootnoteNum;

  // Deliberate: the reference is written as it stands, without bringing the
  // tags up to date, so it precedes attribute tags still waiting for text (and
  // the head, before the document's first text).
  put_note_link("HREF=\"#", kind, counter, mark);

  notes.NoteMode = kind;
  enter_subdoc(rec);
  if (first_of_kind) put_str("<HR>", end_line);
  put_str("<FN>", end_line);
  put_note_link("NAME=\"", kind, counter, mark);
  put_str("<FONT SIZE=3>", end_line);
  writer.FontApplied = 1;
  count_note(counter);
}

void end_note(fmt_info *rec) {
  if (notes.uncollected_notes > 0) {
    --notes.uncollected_notes;
    return;
  }
  const SubDocFrame *frame = innermost();
  if (!frame || !is_note(frame->kind)) return;  // no note open: the end changes nothing
  // "</FN>" goes where the note's "<FN>" went: the note's buffer, before the
  // output comes back, or the output itself when the note was not collected.
  exit_subdoc(rec, "</FN>");
}

}  // namespace

void enter_subdoc(fmt_info *rec) {
  if (notes.open_count >= subdoc_depth_limit) return;
  SubDocFrame frame;
  frame.kind = notes.NoteMode;
  frame.outer_font_applied = writer.FontApplied;
  const std::int32_t footnote_style = rec->footnote_style;
  const std::int32_t endnote_style = rec->endnote_style;
  frame.saved = tran_push_fmt(rec) == 0;
  int &buffer = buffer_of(frame.kind);
  if (buffer == -1) buffer = bufinit(note_buffer_size);
  if (buffer != -1 && io_set(buffer) == 0) {
    frame.redirected = true;
    init_fmt(rec);
    rec->footnote_style = footnote_style;
    rec->endnote_style = endnote_style;
  }
  notes.open[static_cast<std::size_t>(notes.open_count++)] = frame;
}

void exit_subdoc(fmt_info *rec, std::string_view closing) {
  if (notes.open_count == 0) return;
  const SubDocFrame frame = notes.open[static_cast<std::size_t>(--notes.open_count)];
  rec->attrs = 0;
  DropOffAttr(rec);
  if (writer.GenPTags || rec->align != 0) put_str("</P>", end_line);
  else put_str("<BR>", own_line);
  if (rec->indent != 0) {
    for (std::int32_t level = list_levels(rec->indent); level > 0; --level) put_str("</UL>", end_line);
    rec->indent = 0;
    rec->indent_out = 0;
  }
  if (writer.FontApplied) {
    put_str("</FONT>", own_line);
    writer.FontApplied = 0;
  }
  if (frame.saved) tran_pop_fmt(rec);
  rec->para_start = 1;
  if (!closing.empty()) put_str(closing, end_line);
  if (frame.redirected) io_restore(nullptr, nullptr);
  if (const SubDocFrame *outer = innermost()) {
    // Back in the enclosing header, footer or note, whose own end closes its FONT tag.
    writer.FontApplied = frame.outer_font_applied;
    notes.NoteMode = outer->kind;
  } else {
    notes.NoteMode = subdoc_none;
  }
}

void end_open_subdocs(fmt_info *rec) {
  notes.uncollected_notes = 0;
  while (const SubDocFrame *frame = innermost()) {
    if (is_note(frame->kind)) end_note(rec);
    else exit_subdoc(rec);
  }
}

int tt_hf(fmt_info *rec, std::int32_t code_number) {
  x_icf();
  if (code_number == code("HFX")) {
    // Only a header or footer ends here: an HFX inside a note belongs to a
    // header that was never begun, and the note stays collected.
    const SubDocFrame *frame = innermost();
    if (frame && !is_note(frame->kind)) exit_subdoc(rec);
    return 0;
  }
  if (notes.open_count > 0) return 0;  // inside another sub-document nothing opens
  const std::int32_t kind = code_number == code("HF1") ? subdoc_footer : subdoc_header;
  const bool missing = buffer_of(kind) == -1;
  notes.NoteMode = kind;
  enter_subdoc(rec);
  if (missing && buffer_of(kind) != -1) put_str("<HR>", end_line);
  put_str("<FONT SIZE=3>", end_line);
  writer.FontApplied = 1;
  return 0;
}

int tt_fnt(fmt_info *rec, std::int32_t code_number) {
  // Below level 3 the note's text stays where it stands.
  if (writer.ver_code < 2) return x_icf();
  if (code_number == code("EFN") || code_number == code("EFT")) {
    x_icf();
    end_note(rec);
    return 0;
  }
  begin_note(rec, code_number);
  return 0;
}

void DumpNoteBuffer(int handle) {
  if ((notes.open_count > 0 || notes.uncollected_notes > 0) && writer.record) end_open_subdocs(writer.record);
  if (handle == -1) return;
  if (!IsRedir()) {
    // Straight to the target: what the buffer spilled goes from file to file.
    bufdrain(handle, b_putn, b_putfile);
    return;
  }
  // The count read first bounds the copy even if the output went into this buffer.
  std::array<unsigned char, dump_chunk_size> chunk;
  for (long left = BufNumStored(handle); left > 0;) {
    const int wanted = static_cast<int>(std::min<long>(left, dump_chunk_size));
    const int got = bufgets(handle, chunk.data(), wanted);
    if (got <= 0) break;
    b_putn(chunk.data(), got);
    left -= got;
  }
}

std::size_t kivToRoman(std::uint32_t value, std::span<char> text, bool lower_case) {
  if (text.empty()) return 0;
  const std::size_t room = text.size() - 1;
  std::size_t n = 0;
  const auto put = [&](char symbol) {
    if (n < room) text[n++] = lower_case ? static_cast<char>(symbol + 32) : symbol;
  };
  std::uint32_t divisor = 10000;
  for (std::size_t place = 4;; --place, divisor /= 10) {
    const std::uint32_t digit = value / divisor % 10;
    const char one = roman[2 * place];
    const char five = roman[2 * place + 1];
    const std::uint32_t rest = digit % 5;
    if (rest < 4) {
      if (digit >= 5) put(five);
      for (std::uint32_t i = 0; i < rest; ++i) put(one);
    } else if (digit == 4) {
      put(one);
      put(five);
    } else if (place < 4) {
      put(one);
      put(roman[2 * place + 2]);
    } else {
      // Deliberate: nine ten-thousands need a symbol for a hundred thousand,
      // which the set lacks; they are written additively, five and four ones.
      put(five);
      for (int i = 0; i < 4; ++i) put(one);
    }
    if (place == 0) break;
  }
  text[n] = '\0';
  return n;
}

int tt_fni(fmt_info *rec, std::int32_t) {
  constexpr std::int32_t fni_footnotes = 0;  // any other kind sets the endnotes' style
  const std::int32_t kind = get_hex();
  get_dec();
  const std::int32_t style = get_dec();
  if (kind == fni_footnotes) rec->footnote_style = style;
  else rec->endnote_style = style;
  x_icf();
  return 0;
}

}  // namespace kiv
