// The HTML writer's entry, main loop, defaults and exit path.
#include "html/writer.h"

#include <array>
#include <cstring>
#include <string_view>

#include "common/ascii.h"
#include "html/attributes_fonts.h"
#include "html/code_table.h"
#include "html/dispatch.h"
#include "html/indent_language.h"
#include "html/links_comments.h"
#include "html/notes_headers.h"
#include "html/output.h"
#include "objects/signal_handler.h"
#include "runtime/error_exit.h"
#include "runtime/exception_list.h"
#include "runtime/file_layer.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "runtime/progress.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"

namespace kiv {

WriterState writer;

namespace {

struct LevelRow {
  char letter;
  std::int32_t ver_code;
  bool netscape;
  std::string_view name;
};

constexpr std::array<LevelRow, 6> level_table = {{
    {'0', 0, false, "HTML Level 1"},
    {'1', 1, false, "HTML Level 2"},
    {'2', 2, false, "HTML Level 3/HTML+"},
    {'3', 0, true, "HTML Level 1 - Netscape"},
    {'4', 1, true, "HTML Level 2 - Netscape"},
    {'5', 2, true, "HTML Level 3/HTML+ - Netscape"},
}};

// Bytes the main loop writes unchanged when no tag is pending.
constexpr RunBytes plain_text_bytes = run_bytes(32, 126, {'&', '<', '>'});

constexpr std::string_view default_face = "Times Roman";
constexpr std::int32_t default_font_size = 240;
constexpr std::int32_t default_margin = 1440;
constexpr int requested_buffer_size = 4096;

void set_default_font(FontBlock &font) {
  font.size = default_font_size;
  std::memset(font.face, 0, sizeof font.face);
  std::memcpy(font.face, default_face.data(), default_face.size());
}

// Level letter: level, extensions and the name shown by the progress display.
const LevelRow &decode_level(char letter) {
  for (const LevelRow &row : level_table)
    if (row.letter == letter) return row;
  return level_table.back();  // any other letter behaves as 5
}

void apply_modifiers(const char *letters) {
  for (const char *p = letters; *p; ++p) {
    switch (to_upper_ascii(static_cast<unsigned char>(*p))) {
      case 'E': writer.Extensions |= ext_e; break;
      case 'M': writer.line_ends = 1; break;
      case 'N': writer.Extensions |= ext_netscape; break;
      case 'P': writer.GenPTags = 1; break;
      case 'X': writer.line_ends = 2; break;
      default: break;
    }
  }
}

void write_prologue() {
  put_str("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML");
  if (writer.ver_code == 1) put_str(" 2.0");
  else if (writer.ver_code == 2) put_str(" 3");
  put_str("//EN\">", end_line);
  put_str("<HTML>", end_line);
}

void write_epilogue(fmt_info *rec) {
  // Sub-documents the stream left open end first, so that what follows goes
  // to the document itself.
  end_open_subdocs(rec);
  if (writer.GenPTags) put_str("</P>", end_line);
  for (int buffer : {notes.HeaderBuffer, notes.FooterBuffer, notes.FootnoteBuffer, notes.EndnoteBuffer})
    DumpNoteBuffer(buffer);
  if (writer.FontApplied) {
    put_str("</FONT>", own_line);
    writer.FontApplied = 0;
  }
  put_str("</BODY>", own_line);
  put_str("</HTML>", end_line);
}

void free_summary(fmt_info *rec) {
  for (char **text : {&rec->subject, &rec->author, &rec->keywords, &rec->title}) {
    KIVfree(*text);
    *text = nullptr;
  }
}

}  // namespace

int close_conversion_files(fmt_info *rec) {
  int failure = 0;
  if (rec->out_open) {
    rec->out_open = 0;
    try {
      b_close();
    } catch (const ExitRequest &request) {
      failure = request.code;
    }
  }
  if (rec->out_handle != -1) KIVclose(rec->out_handle);
  if (rec->icf_handle != -1) KIVclose(rec->icf_handle);
  return failure;
}

void free_record(fmt_info *rec) {
  free_summary(rec);
  KIVfree(rec);
  writer.record = nullptr;
}

void reset_writer() { writer = {}; }

int run_converter(int count, char **arguments) {
  if (count < 2 || arguments == nullptr || arguments[1] == nullptr) return exit_target_failed;
  options(count - 2, arguments + 2);
  writer.p_tgtnm = arguments[1];

  auto *rec = static_cast<fmt_info *>(KIVmalloc(sizeof(fmt_info)));
  if (!rec) return exit_no_memory;
  writer.record = rec;
  tt_set_defaults(rec);

  const LevelRow &level = decode_level(settings.ver_lvl[0]);
  writer.ver_code = level.ver_code;
  if (level.netscape) writer.Extensions |= ext_netscape;
  if (const int refused = dsp_ver(writer.p_tgtnm, level.name.data())) tt_err_exit(rec, refused);
  if (settings.ver_lvl[0] != '\0') apply_modifiers(settings.ver_lvl + 1);

  dspinit(GETSIZE(settings.icfname), static_cast<int>(settings.optflags & opt_progress_default), 2);
  if (settings.optflags & opt_exception_list) exopen(settings.excname);

  rec->icf_handle = KIVopen(settings.icfname, open_read, kind_source);
  if (rec->icf_handle == -1) tt_err_exit(rec, exit_open_failed);
  rec->out_handle = KIVopen(writer.p_tgtnm, open_create, kind_target);
  if (rec->out_handle == -1) tt_err_exit(rec, exit_target_failed);
  if (b_open(rec->icf_handle, rec->out_handle, requested_buffer_size) != 0) tt_err_exit(rec, exit_no_memory);
  rec->out_open = 1;

  writer.FirstText = 0;
  free_summary(rec);
  icf_stack(rec, 0, 0);
  tt_tran_init();

  write_prologue();
  main_loop(rec);
  write_epilogue(rec);

  rec->out_open = 0;
  b_close();
  dsppad();
  tt_err_exit(rec, 0);
}

int main_loop(fmt_info *rec) {
  for (;;) {
    stop_if_interrupted();
    const int c = b_getc();
    if (c == end_of_input) return 0;
    if (c >= 32 && c <= 126) {
      start_text(rec);
      switch (c) {
        case '&': put_str("&amp;"); break;
        case '<': put_str("&lt;"); break;
        case '>': put_str("&gt;"); break;
        default: b_putc(rec->caps ? to_upper_ascii(c) : c); break;
      }
      rec->line_has_text = 1;
      // The run of plain text that follows goes over in one step.
      if (!rec->caps && !rec->changed && !rec->para_start) b_copy_run(plain_text_bytes);
    } else if (c == ESC) {
      tran108t(rec);
    } else if (c == RS) {
      b_unget(c);
      ret_func(rec);
    } else if (c == US) {
      ret_func(rec);
    }
    // Every other byte is dropped: characters outside ASCII arrive as character codes.
  }
}

void start_text(fmt_info *rec) {
  if (rec->para_start) {
    rec->align_out = -1;  // forces the paragraph tag
    rec->changed = 1;
    rec->para_start = 0;
  }
  rec->line_start = 0;
  if (rec->changed) CheckChanged(rec);
}

int ret_func(fmt_info *rec) {
  const std::int32_t open_code = icf_stack(rec, 2, 0);
  if (open_code == code("CMT")) tt_cmt(rec, close_selector);
  else if (open_code == code("DTX")) tt_dtx(rec, close_selector);
  return 0;
}

namespace {

// The fields that a document and a sub-document both start with.
void set_start_fields(fmt_info *rec) {
  rec->align = rec->align_out = 0;
  rec->para_start = 1;
  rec->margins.fill(default_margin);
  rec->caps = rec->attrs = rec->changed = 0;
  rec->page_count = 1;
  set_default_font(rec->font);
  set_default_font(rec->font_out);
  rec->color_out.fill(-1);
  rec->color.fill(0);
  rec->indent = rec->indent_out = rec->line_has_text = 0;
  rec->footnote_style = rec->endnote_style = 0;
  rec->line_start = 1;
  rec->pending_align = -1;
}

}  // namespace

int tt_set_defaults(fmt_info *rec) {
  set_start_fields(rec);
  rec->icf_handle = rec->out_handle = -1;
  rec->table_shade = 0;
  rec->table_rgb.fill(0);
  return 0;
}

void init_fmt(fmt_info *rec) {
  set_start_fields(rec);
  rec->attrs_out = 0;
  rec->block_align = 0;
  rec->graphic_count = 0;
}

void tt_err_exit(fmt_info *, int code) { KIVexit(code); }

int ex_put(int c) {
  b_putc(c);
  return 0;
}

}  // namespace kiv
