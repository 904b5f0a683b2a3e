// Option words. A word that matches no form is ignored; parsing never fails.
#include "runtime/options.h"

#include <algorithm>
#include <cstring>

#include "common/ascii.h"
#include "objects/graphic_converters.h"
#include "objects/signal_handler.h"
#include "runtime/config_files.h"
#include "runtime/file_layer.h"
#include "runtime/error_exit.h"
#include "runtime/memory.h"
#include "runtime/progress.h"
#include "runtime/strings.h"

namespace kiv {

OptionSettings settings;

void reset_graphic_settings() {
  GraphicsOptionFlag = gfx_enabled;
  KIVGraphMode = 0;
  std::fill(std::begin(GraphicTargetFormat), std::end(GraphicTargetFormat), 0);
  GraphicTargetFormatCount = 0;
  OLEOptionFlag = ole_mode_p;
}

GraphicSettingsSnapshot save_graphic_settings() {
  GraphicSettingsSnapshot saved{GraphicsOptionFlag, KIVGraphMode, {}, GraphicTargetFormatCount, OLEOptionFlag};
  std::copy(std::begin(GraphicTargetFormat), std::end(GraphicTargetFormat), saved.GraphicTargetFormat.begin());
  return saved;
}

void restore_graphic_settings(const GraphicSettingsSnapshot &saved) {
  GraphicsOptionFlag = saved.GraphicsOptionFlag;
  KIVGraphMode = saved.KIVGraphMode;
  std::copy(saved.GraphicTargetFormat.begin(), saved.GraphicTargetFormat.end(), std::begin(GraphicTargetFormat));
  GraphicTargetFormatCount = saved.GraphicTargetFormatCount;
  OLEOptionFlag = saved.OLEOptionFlag;
}

namespace {

constexpr std::size_t ver_lvl_characters = 29;

// The standard string-to-integer conversion: optional spaces and sign, digits.
long to_number(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long value = 0;
  for (; i < text.size() && is_digit(text[i]) && value < 100000000000L; ++i) value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

// A file name that does not fit its buffer is not cut: a shorter name could be
// another file, which the converter would then read or remove. It becomes
// empty, which no file has.
template <std::size_t N>
void set_file_name(char (&buffer)[N], std::string_view text) {
  copy_bounded(buffer, N, text.size() < N ? text : std::string_view());
}

std::string_view after_optional_equals(std::string_view text) {
  return !text.empty() && text.front() == '=' ? text.substr(1) : text;
}

// Replaces an owned option string with a copy of text.
void set_string(char *&slot, std::string_view text) {
  KIVfree(slot);
  slot = new_string(text);
}

// "any characters up to =, text": the text after the first "=", or nothing.
bool text_after_equals(std::string_view text, std::string_view &value) {
  const auto at = text.find('=');
  if (at == std::string_view::npos) return false;
  value = text.substr(at + 1);
  return true;
}

void continue_criteria(char *&criteria, std::string_view word) {
  const std::string_view old = criteria ? std::string_view(criteria) : std::string_view();
  auto *joined = static_cast<char *>(KIVmalloc(old.size() + 1 + word.size() + 1));
  if (!joined) return;
  copy_bounded(joined, old.size() + 1, old);
  joined[old.size()] = ' ';
  copy_bounded(joined + old.size() + 1, word.size() + 1, word);
  KIVfree(criteria);
  criteria = joined;
}

std::uint32_t parse_b(std::string_view p) {
  if (starts_with_nocase(p, "T")) {
    const std::string_view text = after_optional_equals(p.substr(1));
    if (!text.empty()) {
      set_string(settings.BodyTextFileName, text);
    } else if (settings.FirstParameterFileName) {
      std::string_view base = settings.FirstParameterFileName;
      const auto dot = base.rfind('.');
      if (dot != std::string_view::npos) base = base.substr(0, dot);
      KIVfree(settings.BodyTextFileName);
      settings.BodyTextFileName = static_cast<char *>(KIVmalloc(base.size() + 5));
      if (settings.BodyTextFileName) {
        std::memcpy(settings.BodyTextFileName, base.data(), base.size());
        std::memcpy(settings.BodyTextFileName + base.size(), ".bti", 5);
      }
    }
    return 0;
  }
  if (starts_with_nocase(p, "P=")) {
    settings.max_pipe_buf_len = static_cast<int>(to_number(p.substr(2)));
    return 0;
  }
  if (starts_with_nocase(p, "P")) return 0;
  return opt_progress_default;
}

std::uint32_t parse_c(std::string_view p) {
  if (starts_with_nocase(p, "P")) {
    const long n = to_number(p.substr(1));
    if (n >= 100 && n <= 9999) settings.KIVCodePage = static_cast<int>(n);
    return 0;
  }
  if (starts_with_nocase(p, "DC")) {
    GraphicsOptionFlag |= gfx_enabled;
    return 0;
  }
  if (starts_with_nocase(p, "MD")) {
    // The rest of a word is a tail of its NUL-terminated text.
    LoadCommandNameValue(after_optional_equals(p.substr(2)).data());
    return 0;
  }
  return LoadConfiguration(after_optional_equals(p).data());
}

std::uint32_t parse_g(std::string_view p) {
  if (starts_with_nocase(p, "1")) {
    KIVGraphMode = 1;
    GraphicsOptionFlag = 0;
  } else if (starts_with_nocase(p, "D")) {
    GraphicsOptionFlag |= gfx_keep_temporary;
  } else if (starts_with_nocase(p, "EX")) {
    SetGraphicsExtentsPointer(p.substr(2).data());
  } else if (starts_with_nocase(p, "ER")) {
    GraphicsOptionFlag |= gfx_temporary_unconverted | gfx_add_header;
  } else if (starts_with_nocase(p, "S")) {
    std::string_view digits = p.substr(1);
    std::size_t i = 0;
    int width = 0;
    for (; i < digits.size() && is_digit(digits[i]); ++i) width = width * 10 + (digits[i] - '0');
    settings.KIVGraphicFrameWidth = width;
    if (i < digits.size()) {
      int height = 0;
      for (++i; i < digits.size() && is_digit(digits[i]); ++i) height = height * 10 + (digits[i] - '0');
      settings.KIVGraphicFrameHeight = height;
    }
  } else if (starts_with_nocase(p, "TL")) {
    // Beyond the suite's own words: a time limit on converter programs.
    const long n = to_number(after_optional_equals(p.substr(2)));
    settings.converter_time_limit = n > 0 && n < 1000000 ? static_cast<int>(n) : 0;
  } else if (starts_with_nocase(p, "TF")) {
    const long n = to_number(after_optional_equals(p.substr(2)));
    if (GraphicTargetFormatCount < graphic_target_max)
      GraphicTargetFormat[GraphicTargetFormatCount++] = static_cast<int>(n);
  } else if (starts_with_nocase(p, "RR")) {
    GraphicsOptionFlag |= gfx_reference;
  } else if (starts_with_nocase(p, "RER")) {
    GraphicsOptionFlag |= gfx_embed_file;
  } else if (starts_with_nocase(p, "RE")) {
    GraphicsOptionFlag |= gfx_reference_raw;
  } else if (starts_with_nocase(p, "RAP")) {
    std::string_view text;
    if (text_after_equals(p.substr(3), text)) set_string(settings.GraphicCatalogFileName, text);
  } else if (starts_with_nocase(p, "VX")) {
    GraphicsOptionFlag |= gfx_reference | gfx_description_only;
  } else if (starts_with_nocase(p, "VRH")) {
    GraphicsOptionFlag |= gfx_add_header | gfx_to_temporary | gfx_reference;
  } else if (starts_with_nocase(p, "VR")) {
    GraphicsOptionFlag |= gfx_to_temporary | gfx_reference;
  } else if (starts_with_nocase(p, "X")) {
    GraphicsOptionFlag |= gfx_drop;
  } else if (starts_with_nocase(p, "I=")) {
    const std::string_view hex = p.substr(2);
    settings.GeneralInfoPtr = {};
    const auto nibble = [](char c) {
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return c - '0';
    };
    // Pairs of characters become the four bytes in memory order; the end of the word stops early.
    for (std::size_t i = 0; i < 8 && i < hex.size(); i += 2) {
      const int high = nibble(hex[i]);
      const int low = i + 1 < hex.size() ? nibble(hex[i + 1]) : 0;
      settings.GeneralInfoPtr[i / 2] = static_cast<unsigned char>(high * 16 + low);
    }
  }
  return 0;
}

std::uint32_t parse_i(std::string_view p) {
  if (starts_with_nocase(p, "F")) return opt_host_files;
  if (starts_with_nocase(p, "N") && p.size() >= 2) {
    if (p.size() >= 3 && p[2] == '=') {
      settings.in_pipe = static_cast<int>(to_number(p.substr(3)));
      return opt_pipes;
    }
    return 0;
  }
  return opt_progress_pass;
}

std::uint32_t parse_o(std::string_view p) {
  int &flag = OLEOptionFlag;
  if (starts_with_nocase(p, "O")) flag = (flag & ~ole_mode_mask) | ole_mode_o;
  else if (starts_with_nocase(p, "N")) flag = (flag & ~ole_mode_mask) | ole_mode_n;
  else if (starts_with_nocase(p, "P")) flag = (flag & ~ole_mode_mask) | ole_mode_p;
  else if (starts_with_nocase(p, "D")) flag |= ole_keep_temporary;
  else if (starts_with_nocase(p, "U") && p.size() >= 4 && p[3] == '=') {
    settings.out_pipe = static_cast<int>(to_number(p.substr(4)));
    return opt_pipes;
  }
  return 0;
}

std::uint32_t parse_p(std::string_view p) {
  if (p.empty()) return opt_progress_percent;
  if (starts_with_nocase(p, "ICTURE=")) {
    set_string(settings.BifPictLabel, p.substr(7));
    return 0;
  }
  if (starts_with_nocase(p, "C")) return opt_exception_list | opt_exceptions_inline;
  if (starts_with_nocase(p, "E")) {
    std::string_view text = after_optional_equals(p.substr(1));
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    // Deliberate: a bare PE keeps the default list name rather than an empty one.
    if (!text.empty()) set_file_name(settings.excname, text);
    return opt_exception_list;
  }
  if (starts_with_nocase(p, "ID=")) settings.display_pid = to_number(p.substr(3));
  return 0;
}

std::uint32_t parse_r(std::string_view p) {
  if (starts_with_nocase(p, "L=")) {
    set_string(settings.KIVRefListFileName, p.substr(2));
    return 0;
  }
  if (starts_with_nocase(p, "F=")) {
    set_string(settings.KIVRefFixBaseFileName, p.substr(2));
    settings.KIVReferencedFileNameFix = 1;
    return 0;
  }
  if (starts_with_nocase(p, "F")) {
    settings.KIVReferencedFileNameFix = 1;
    return 0;
  }
  if (starts_with_nocase(p, "UL")) {
    std::string_view text;
    if (text_after_equals(p.substr(2), text)) set_string(settings.RulesFileName, text);
    return 0;
  }
  copy_bounded(settings.range, sizeof settings.range, p);
  return opt_range;
}

std::uint32_t parse_s(std::string_view p) {
  if (starts_with_nocase(p, "ET")) {
    // SET, one character, P, anything up to "=", then A.
    if (p.size() >= 4 && to_upper_ascii(p[3]) == 'P') {
      const auto at = p.find('=', 4);
      if (at != std::string_view::npos && at + 1 < p.size() && to_upper_ascii(p[at + 1]) == 'A')
        settings.DefSettings[1] = 2;
    }
    return 0;
  }
  if (p.size() >= 2) {
    set_string(settings.SortCriteria, p);
    settings.SortOption = 1;
    settings.LastParse = 2;
  }
  return 0;
}

}  // namespace

void reset_options() {
  auto &s = settings;
  for (char *text : {s.BodyTextFileName, s.GraphicCatalogFileName, s.ErrorMessageHandle, s.KIVDefinitionFile,
                     s.BifPictLabel, s.KIVRefListFileName, s.KIVRefFixBaseFileName, s.RulesFileName,
                     s.SortCriteria, s.ExtractCriteria})
    KIVfree(text);
  for (int i = 0; i < name_value_slots; ++i) {
    KIVfree(s.kivCmdName[static_cast<std::size_t>(i)]);
    KIVfree(s.kivCmdValue[static_cast<std::size_t>(i)]);
  }
  s = {};
}

void release_shutdown_strings() {
  KIVfree(settings.BodyTextFileName);
  settings.BodyTextFileName = nullptr;
  for (int i = 0; i < settings.kivCmdCount && i < name_value_slots; ++i) {
    KIVfree(settings.kivCmdName[static_cast<std::size_t>(i)]);
    KIVfree(settings.kivCmdValue[static_cast<std::size_t>(i)]);
  }
  settings.kivCmdName.fill(nullptr);
  settings.kivCmdValue.fill(nullptr);
  settings.kivCmdCount = 0;
}

std::uint32_t CmdParseLine(const char *word) {
  std::string_view p(word);
  while (!p.empty() && p.front() == ' ') p.remove_prefix(1);
  const bool marked = !p.empty() && (p.front() == '-' || p.front() == '/');
  if (marked) p.remove_prefix(1);
  if (!marked && (settings.LastParse == 1 || settings.LastParse == 2)) {
    char *&criteria = settings.LastParse == 1 ? settings.ExtractCriteria : settings.SortCriteria;
    const char *before = criteria;
    continue_criteria(criteria, p);
    if (criteria != before) return 0;
  }
  settings.LastParse = 0;
  if (p.empty()) return 0;
  const int letter = to_upper_ascii(static_cast<unsigned char>(p.front()));
  p.remove_prefix(1);

  switch (letter) {
    case 'A': return opt_a;
    case 'B': return parse_b(p);
    case 'C': return parse_c(p);
    case 'D':
      if (starts_with_nocase(p, "T")) settings.DeleteICFFile = 0;
      return 0;
    case 'E': {
      std::string_view text;
      if (starts_with_nocase(p, "RR")) {
        if (text_after_equals(p.substr(2), text)) set_string(settings.ErrorMessageHandle, text);
      } else if (starts_with_nocase(p, "=")) {
        copy_bounded(settings.SubLaunchPath, sizeof settings.SubLaunchPath, p.substr(1));
      }
      return 0;
    }
    case 'F': set_string(settings.KIVDefinitionFile, p); return 0;
    case 'G': return parse_g(p);
    case 'H':
      if (p.size() == 9 && starts_with_nocase(p, "EADERROWS")) settings.header_rows = 1;
      return 0;
    case 'I': return parse_i(p);
    case 'K':
      if (starts_with_nocase(p, "EEPSIGNALS")) settings.keep_host_signals = 1;
      return 0;
    case 'L':
      opt_look(p.empty() ? "" : p.substr(1).data());
      settings.BFBModeFlag = 0;
      return 0;
    case 'M':
      if (starts_with_nocase(p, "Z")) copy_bounded(settings.opt_margin_string, sizeof settings.opt_margin_string, p.substr(1));
      return 0;
    case 'N':
      if (starts_with_nocase(p, "R")) {
        copy_bounded(settings.range, sizeof settings.range, p.substr(1));
        return opt_range_negative;
      }
      return opt_no_progress;
    case 'O': return parse_o(p);
    case 'P': return parse_p(p);
    case 'Q': settings.IPCMsgQueueID = static_cast<int>(to_number(p)); return 0;
    case 'R': return parse_r(p);
    case 'S': return parse_s(p);
    case 'T':
      if (starts_with_nocase(p, "=")) set_file_name(settings.icfname, p.substr(1));
      else if (starts_with_nocase(p, "W")) return opt_progress_type5;
      return 0;
    case 'U':
      if (starts_with_nocase(p, "NTRUSTED")) settings.untrusted_output = 1;
      else if (p.size() == 6 && starts_with_nocase(p, "NICODE")) settings.unicode_references = 1;
      return 0;
    case 'V': copy_bounded(settings.ver_lvl, ver_lvl_characters + 1, p); return 0;
    case 'W': settings.BFBModeFlag = 0; return 0;
    case 'X':
      if (p.size() >= 3) {
        set_string(settings.ExtractCriteria, p);
        settings.ExtractOption = 1;
        settings.LastParse = 1;
      }
      return 0;
    case 'Z':
      ShowSourceControl();
      KIVexit(0);
    default: return 0;
  }
}

int options(int argc, char **argv) {
  KIVInititialization();
  settings.DefSettings[0] = settings.DefSettings[1] = 0;
  if (argc >= -1) settings.ARG0_BasePath = argv[-2];
  if (argc >= 0) {
    settings.FirstParameterFileName = argv[-1];
    const char *first = argv[-1];
    if (first && (first[0] == '-' || first[0] == '/') && to_upper_ascii(static_cast<unsigned char>(first[1])) == 'C' &&
        first[2] == '=') {
      argc += 1;
      argv -= 1;
    }
  }
  settings.optflags = opt_progress_default;
  for (int i = 0; i < argc; ++i)
    if (argv[i]) settings.optflags |= CmdParseLine(argv[i]);
  if (settings.keep_host_signals) keep_host_interrupts();
  KIVOSInitialize();
  return 0;
}

void LoadCommandNameValue(const char *text) {
  auto &s = settings;
  if (s.kivCmdCount == 0) {
    s.kivCmdName.fill(nullptr);
    s.kivCmdValue.fill(nullptr);
  }
  // Deliberate: the table holds 25 pairs; later pairs are dropped.
  if (s.kivCmdCount >= name_value_slots) return;
  const std::string_view all(text);
  const auto equals = all.find('=');
  const std::string_view name = all.substr(0, equals);
  std::string_view value;
  if (equals != std::string_view::npos) {
    value = all.substr(equals + 1);
    value = value.substr(0, value.find('='));
  }
  char *name_copy = new_string(name);
  if (!name_copy) return;
  const auto slot = static_cast<std::size_t>(s.kivCmdCount++);
  s.kivCmdName[slot] = name_copy;
  s.kivCmdValue[slot] = new_string(value);
}

int kivGetCmdLineOption(const char *name, const char **value) {
  for (int i = 0; i < settings.kivCmdCount; ++i) {
    const char *stored = settings.kivCmdName[static_cast<std::size_t>(i)];
    if (stored && stricmp(stored, name) == 0) {
      *value = settings.kivCmdValue[static_cast<std::size_t>(i)];
      return 1;
    }
  }
  return 0;
}

int KIVRefListAddName(const char *file, int kind) {
  if (!settings.KIVRefListFileName) return 0;
  const int h = KIVopen(settings.KIVRefListFileName, open_append, kind_plain);
  if (h == -1) return 0;
  constexpr std::string_view kind_words[] = {"", "ole", "graphic", "stylesheet", "text",
                                             "spreadsheet", "formatting", "footnote", "dependent"};
  KIVwrite(h, file, static_cast<int>(std::strlen(file) + 1));
  if (kind != 0) {
    const std::string_view word = kind >= 1 && kind <= 8 ? kind_words[kind] : "?";
    KIVwrite(h, word.data(), static_cast<int>(word.size()));
  }
  KIVwrite(h, "\r\n", 2);
  KIVclose(h);
  return 0;
}

int FixReferenceFileName(const char *base, const char *name, char *out, std::size_t out_size) {
  const auto last_separator = [](std::string_view path) { return path.find_last_of("\\/:"); };
  if (settings.KIVReferencedFileNameFix == 0) {
    copy_bounded(out, out_size, name);
    return 0;
  }
  // The directory part, then the last component of name, cut to out_size.
  std::size_t length = 0;
  const auto append = [&](std::string_view text) {
    if (out_size == 0) return;
    copy_bounded(out + length, out_size - length, text);
    length += std::min(text.size(), out_size - 1 - length);
  };
  if (settings.KIVRefFixBaseFileName) {
    const std::string_view fixed(settings.KIVRefFixBaseFileName);
    append(fixed);
    if (!fixed.empty() && last_separator(fixed) != fixed.size() - 1) append("\\");
  } else {
    const std::string_view b(base);
    const auto at = last_separator(b);
    append(at == std::string_view::npos ? std::string_view() : b.substr(0, at + 1));
  }
  const std::string_view n(name);
  const auto at = last_separator(n);
  append(at == std::string_view::npos ? n : n.substr(at + 1));
  return 0;
}

const std::array<int, 6> &GetDefSettings() { return settings.DefSettings; }
const char *GetARG0_BasePath() { return settings.ARG0_BasePath; }

std::uint32_t make_addr(const char *text) {
  std::uint32_t high = 0;
  std::uint32_t value = 0;
  for (int i = 0; i < 9 && text[i]; ++i) {
    if (text[i] == ':') {
      high = value << 16;
      value = 0;
    } else if (const int digit = hex_value(static_cast<unsigned char>(text[i])); digit >= 0) {
      value = value * 16 + static_cast<std::uint32_t>(digit);
    }
  }
  return high | value;
}

int opt_look(const char *) { return 0; }

}  // namespace kiv
