// Graphic converter programs: one program per format number and direction,
// found by a naming rule, run as a child process with the two file names, and
// the extents file through which a converter reports a picture's size.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstddef>
#include <span>

#include <icf2html.h>  // SetGraphicsExtents, the converter side of the extents file

namespace kiv {

// Environment variable through which a converter program learns the name of
// the extents file; it is set for the child only.
inline constexpr const char *extents_variable = "ICF_EXTENTS_FILE";

struct GraphicConverterState {
  char EnvFilename[256] = "";                     // extents file of the last run
  std::array<int, 2> GraphicObjectExtents{};      // first pairs with heights, second with widths
  // The converter program being waited for (0 when none), for a signal
  // handler that must stop it before the process ends.
  volatile pid_t running = 0;
};
extern GraphicConverterState graphic_converters;

// Back to the state at the start of a conversion.
void reset_graphic_converters();

// The program name tried first (second = false) or second for a format and a
// direction, after the program directory (SubLaunchPath, else the directory of
// ARG0_BasePath). 0, or -1 when out (size bytes) is too small.
int converter_program_name(int format, int direction, bool second, char *out, std::size_t size);

// Runs the converter for format: direction 0 converts input (foreign) into
// output (intermediate form), otherwise input (intermediate) into output
// (foreign). Returns the converter's exit status (255 when neither program
// could be started, or when it was ended by a signal or the time limit), or -1
// when no child process could be made. Reads the extents file afterwards.
int ConvertGraphicFile(int format, int direction, const char *input, const char *output, const char *variantText);
// 0: converters are taken to exist.
int CheckGraphicConvExist();
int CheckConvExist();
// Sets GraphicObjectExtents from the extents file (0, 0 when there is none)
// and deletes the file. The argument is ignored. 0.
int SetGraphicsExtentsPointer(const char *text);

// An extents file is never longer than this; a longer one is not an extents file.
inline constexpr std::size_t extents_text_max = 64;
// The two values of an extents file's text: each an optional sign and decimal
// digits, with white space before, between and after them and nothing else.
// True with both values in out; false (out untouched) for any other text, a
// text longer than extents_text_max, or a value beyond the 32-bit range.
bool parse_extents(std::span<const unsigned char> text, std::array<int, 2> &out);

}  // namespace kiv
