// Progress display: how much of the source has been read, as a dot bar or a
// percentage on the standard output, as messages on the controlling process's
// message queue, or as SIGUSR1 signals to a display process.
#pragma once

#include <array>
#include <cstdint>

namespace kiv {

struct ProgressState {
  std::uint32_t DispDotSize = 0;       // source bytes per percent, at least 1 once started
  std::uint32_t DispCurrentCount = 0;  // bytes counted since the last percent step
  std::uint32_t CurrentPercent = 0;    // 0..100
  std::uint32_t ConverterSidePassNumber = 0;
  std::uint32_t DispType = 0;          // 3 percentage number, other values the dot bar
  std::uint32_t numdots = 0;           // dots drawn, at most 51
  std::array<char, 54> dotbuf{};       // ">", 50 spaces, "<", CR
  long tbytcnt = 0;
};
extern ProgressState progress;

// Starts counting a source of size bytes for the given pass; shows the display
// unless the options turn it off. 0.
void reset_progress();
int dspinit(long size, int reserved, int pass);
// One percent step (every DispDotSize bytes read).
void DispDotUpdate();
// Counts n further bytes (n may be negative). 0.
int dspcheck(long n);
// Completes the display to 100 and closes it. 0.
int dsppad();
int GetCurrentPercentComplete();
int GetConverterSidePassNumber();
void incbytes(long n);
long dspbytes();
void DisplayInit(int type);
int DisplayNextDot(int percent);
void DisplayClose();
void DisplayMesgLine(const char *text);
// Prints the version report on the standard output.
void ShowSourceControl();
int dsp_ver(const char *target, const char *name);

}  // namespace kiv
