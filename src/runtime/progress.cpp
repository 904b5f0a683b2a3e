// Progress display on the terminal, a message queue or a display process.
#include "runtime/progress.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "runtime/options.h"

namespace kiv {

ProgressState progress;

void reset_progress() { progress = {}; }

namespace {

constexpr char scale[] = "0%        25%           50%         75%         100%";
constexpr std::uint32_t max_dots = 51;
constexpr long progress_message_type = 1;

struct ProgressMessage {
  long type;
  char text[16];
};

bool queue_in_use() { return settings.IPCMsgQueueID != -1; }

void send_to_queue(const char *text, int flags) {
  ProgressMessage message{progress_message_type, {}};
  const std::size_t n = std::strlen(text);
  std::memcpy(message.text, text, n);
  msgsnd(settings.IPCMsgQueueID, &message, n, flags);  // the display never fails the conversion
}

void reset_dot_bar() {
  progress.dotbuf.fill(' ');
  progress.dotbuf[0] = '>';
  progress.dotbuf[51] = '<';
  progress.dotbuf[52] = '\r';
  progress.dotbuf[53] = '\0';
}

void step() {
  if (progress.CurrentPercent == 100 || (settings.optflags & opt_no_progress)) return;
  progress.CurrentPercent += 1;
  if (progress.CurrentPercent % 2 == 0) DisplayNextDot(static_cast<int>(progress.CurrentPercent));
}

}  // namespace

int dspinit(long size, int, int pass) {
  progress.ConverterSidePassNumber = static_cast<std::uint32_t>(pass);
  progress.DispCurrentCount = 0;
  progress.CurrentPercent = 0;
  const long per_percent = size > 0 ? size / 100 : 0;
  progress.DispDotSize = per_percent > 0 ? static_cast<std::uint32_t>(per_percent) : 1;
  if (!(settings.optflags & opt_no_progress)) {
    int type = 0;
    if (settings.optflags & opt_progress_pass) type = pass;
    else if (settings.optflags & opt_progress_percent) type = 3;
    else if (settings.BFBModeFlag == 1) type = 4;
    else if (settings.optflags & opt_progress_type5) type = 5;
    DisplayInit(type);
  }
  return 0;
}

void DispDotUpdate() { step(); }

int dspcheck(long n) {
  const std::uint32_t before = progress.DispCurrentCount;
  progress.DispCurrentCount += static_cast<std::uint32_t>(n);
  if (n < 0) {
    if (progress.DispCurrentCount > before) progress.DispCurrentCount = before;  // went below zero: undone
    return 0;
  }
  while (progress.DispCurrentCount >= progress.DispDotSize && progress.DispDotSize > 0) {
    progress.DispCurrentCount -= progress.DispDotSize;
    step();
  }
  return 0;
}

int dsppad() {
  if (settings.optflags & opt_no_progress) return 0;
  while (progress.CurrentPercent < 100) step();
  DisplayClose();
  return 0;
}

int GetCurrentPercentComplete() { return static_cast<int>(progress.CurrentPercent); }
int GetConverterSidePassNumber() { return static_cast<int>(progress.ConverterSidePassNumber); }
void incbytes(long n) { progress.tbytcnt += n; }
long dspbytes() { return progress.tbytcnt; }

void DisplayInit(int type) {
  if (queue_in_use() || settings.display_pid != 0) return;
  progress.numdots = 0;
  progress.DispType = static_cast<std::uint32_t>(type);
  reset_dot_bar();
  if (type == 3) {
    std::printf("\n%03d\r", 0);
  } else {
    std::printf("\n%s\n", scale);
    std::printf("%s", progress.dotbuf.data());
  }
  std::fflush(stdout);
}

int DisplayNextDot(int percent) {
  if (queue_in_use() && !(settings.optflags & opt_host_files)) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", percent);
    send_to_queue(text, IPC_NOWAIT);
    return 0;
  }
  if (settings.display_pid != 0) {
    // Only a real process: 0 and negative ids would signal whole process groups.
    if (settings.display_pid > 0) kill(static_cast<pid_t>(settings.display_pid), SIGUSR1);
    return 0;
  }
  progress.numdots += 1;
  if (progress.numdots > max_dots) {
    progress.numdots = max_dots;
    return 1;
  }
  if (progress.DispType == 3) {
    std::printf("%03d%%\r", static_cast<int>(progress.numdots * 2));
  } else {
    progress.dotbuf[progress.numdots] = '.';
    std::printf("%s", progress.dotbuf.data());
  }
  std::fflush(stdout);
  return 0;
}

void DisplayClose() {
  if (queue_in_use()) {
    send_to_queue("END", 0);
  } else if (settings.display_pid == 0) {
    std::printf("\n");
    std::fflush(stdout);
  }
}

void DisplayMesgLine(const char *text) {
  std::printf("%s", text);
  std::fflush(stdout);
}

void ShowSourceControl() {
  std::printf("\n\nicf2html: HTML writer of the document conversion suite.");
  std::printf("\nSource Control Version: Converter Code = 7.3.%s", "26");
  std::printf("\n\t Kernel Code = %s", "33");
  std::printf("\n\t Common Code = %s", "100");
  std::printf("\n\n");
  std::fflush(stdout);
}

int dsp_ver(const char *, const char *) { return 0; }

}  // namespace kiv
