// Option words: turn the words of the argument vector and of configuration files
// into the option bit set, file names, picture and object switches, the route of
// the file layer, and a table of free name/value pairs.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include <icf2html.h>  // the exported picture and object settings

namespace kiv {

// Bits of optflags.
enum OptionFlag : std::uint32_t {
  opt_progress_default = 0x1,
  opt_progress_pass = 0x2,
  opt_exception_list = 0x8,
  opt_exceptions_inline = 0x20,
  opt_progress_percent = 0x40,
  opt_no_progress = 0x80,
  opt_range = 0x100,
  opt_range_negative = 0x200,
  opt_pipes = 0x400,
  opt_progress_type5 = 0x1000,
  opt_host_files = 0x2000,
  opt_a = 0x4000,
};

// Bits of GraphicsOptionFlag.
enum GraphicsOption : int {
  gfx_enabled = 0x1,            // pictures may be converted
  gfx_keep_temporary = 0x2,     // temporary picture files are never removed
  gfx_drop = 0x4,               // pictures are dropped
  gfx_reference = 0x10,         // a picture written to disk is referred to, not embedded
  gfx_reference_raw = 0x20,
  gfx_embed_file = 0x40,        // a picture on disk is embedded
  gfx_to_temporary = 0x80,      // picture data goes to a temporary file the stream refers to
  gfx_description_only = 0x100,
  gfx_temporary_unconverted = 0x200,
  gfx_add_header = 0x400,       // a missing file header is added to picture data written out
};

// OLEOptionFlag: one of three object modes in its low bits, and a keep bit.
enum OleOption : int {
  ole_mode_mask = 0x7,
  ole_mode_o = 0x1,
  ole_mode_n = 0x2,
  ole_mode_p = 0x4,
  ole_keep_temporary = 0x8,
};

inline constexpr int name_value_slots = 25;
inline constexpr int graphic_target_slots = 50;
inline constexpr int graphic_target_max = 49;

struct OptionSettings {
  std::uint32_t optflags = 0;
  char *ARG0_BasePath = nullptr;
  char *FirstParameterFileName = nullptr;
  char icfname[256] = "vtx99int.tmp";
  char excname[256] = "except.lst";
  char ver_lvl[50] = "0";
  char *BodyTextFileName = nullptr;
  int max_pipe_buf_len = 0;
  int KIVCodePage = -1;
  char *GraphicCatalogFileName = nullptr;
  int KIVGraphicFrameWidth = 0;
  int KIVGraphicFrameHeight = 0;
  std::array<unsigned char, 4> GeneralInfoPtr{};
  int DeleteICFFile = 1;
  char *ErrorMessageHandle = nullptr;
  char SubLaunchPath[256] = "";
  char *KIVDefinitionFile = nullptr;
  int in_pipe = -1;
  int out_pipe = -1;
  int BFBModeFlag = 0;
  char opt_margin_string[25] = "";
  char range[20] = "";
  char *BifPictLabel = nullptr;
  long display_pid = 0;
  int IPCMsgQueueID = -1;
  int converter_time_limit = 0;  // GTL: seconds a graphic converter may run; 0 no limit
  char *KIVRefListFileName = nullptr;
  char *KIVRefFixBaseFileName = nullptr;
  int KIVReferencedFileNameFix = 0;
  char *RulesFileName = nullptr;
  std::array<int, 6> DefSettings{};
  char *SortCriteria = nullptr;
  int SortOption = 0;
  char *ExtractCriteria = nullptr;
  int ExtractOption = 0;
  int LastParse = 0;  // 0, 1 extract or 2 sort: which criteria a plain word continues
  std::array<char *, name_value_slots> kivCmdName{};
  std::array<char *, name_value_slots> kivCmdValue{};
  int kivCmdCount = 0;
  int untrusted_output = 0;    // UNTRUSTED: document texts never become markup or script links
  int keep_host_signals = 0;   // KEEPSIGNALS: SIGINT and SIGTERM stay the host's; they end the conversion
  int unicode_references = 0;  // UNICODE: characters without an entity as numeric references
  int header_rows = 0;         // HEADERROWS: cells of rows marked as header rows are TH cells
};
extern OptionSettings settings;

// The picture and object settings (GraphicsOptionFlag, KIVGraphMode,
// GraphicTargetFormat, GraphicTargetFormatCount, OLEOptionFlag) are exported
// globals that the host may set; they keep their values across conversions.
// Returns them to their defaults (tests).
void reset_graphic_settings();

// Those settings as the host left them. Option words change them for one
// conversion only: the conversion's end puts the host's values back.
struct GraphicSettingsSnapshot {
  int GraphicsOptionFlag;
  int KIVGraphMode;
  std::array<int, graphic_target_slots> GraphicTargetFormat;
  int GraphicTargetFormatCount;
  int OLEOptionFlag;
};
GraphicSettingsSnapshot save_graphic_settings();
void restore_graphic_settings(const GraphicSettingsSnapshot &saved);

// Frees the option strings and returns every setting to its default.
void reset_options();
// Frees BodyTextFileName and the name/value table (the host's shutdown).
void release_shutdown_strings();

// Parses the option words after the first parameter: argv[-2] is the program
// name and argv[-1] the first parameter. Installs the signal handler first and
// sets up the file layer last; 0.
int options(int argc, char **argv);
// One option word; the optflags bits it sets. May end the conversion (the Z word).
std::uint32_t CmdParseLine(const char *word);
// Stores a "name=value" pair in the name/value table.
void LoadCommandNameValue(const char *text);
// 1 and the value when name is stored (case-blind), else 0 and *value unchanged.
int kivGetCmdLineOption(const char *name, const char **value);
// Appends a produced file to the reference list; 0.
int KIVRefListAddName(const char *file, int kind);
// The name under which a referenced file is written into the document; 0.
int FixReferenceFileName(const char *base, const char *name, char *out, std::size_t out_size);
const std::array<int, 6> &GetDefSettings();
const char *GetARG0_BasePath();
std::uint32_t make_addr(const char *text);
int opt_look(const char *text);

}  // namespace kiv
