// Buffered source and target I/O: a read window over the source with unlimited
// push-back, two output buffers that let bytes already written be taken back,
// and redirection of either side to callbacks. One source and one target at a
// time; the state below is the whole of it.
#pragma once

#include <array>

#include "common/types.h"
#include "runtime/progress.h"

namespace kiv {

struct BufferedIoState {
  int in_f = -1;                       // source handle
  int ot_f = -1;                       // target handle
  unsigned char *in_bufr = nullptr;    // source window (17 spare bytes)
  unsigned char *in_ptr = nullptr;     // next byte of the window
  unsigned char *in_eof = nullptr;     // end of the valid bytes in the window
  int in_bsize = 0;
  int ot_bsize = 0;
  long in_pos = 0;                     // grows by in_bsize per window used up
  int in_eofst = 0;                    // 0, then 1 at the last byte, +2 per call past the end
  unsigned char *ot_bufr1 = nullptr;   // the two output buffers (17 spare bytes each)
  unsigned char *ot_bufr2 = nullptr;
  int ot_side = 0;                     // 0 filling ot_bufr1, 1 filling ot_bufr2
  int ot_stat1 = 0;                    // 1: full and not yet written to the target
  int ot_stat2 = 0;
  unsigned char *ot_ptr = nullptr;     // next free byte of the buffer being filled
  unsigned char *ot_eof = nullptr;     // end of the buffer being filled
  unsigned char *ungetbuf = nullptr;   // push-back stack
  int ungetsiz = 0;                    // its capacity
  int ungetcnt = 0;                    // bytes on it; ungetsiz + 1 while the overflow is used
  int ungettemp = -1;                  // overflow temporary buffer
  int MaxSize = -1;                    // upper limit of the buffer size, -1 none
  int configured_limit = -1;           // limit set for every conversion; outlives the reset
  int ViewModeActive = 0;
  long BCntRead = 0;                   // calls of b_getc
  long BCntWritten = 0;                // bytes currently in the target
  int RedirectInputFlag = 0;           // 0 source, 1 get callback, 2 get and unget callbacks
  int RedirectOutputFlag = 0;          // 1 put and unput callbacks
  int CopyGetFlag = 0;                 // 1 copy read and pushed-back bytes to callbacks
  int ot_reread = 0;                   // 1 once a written block was taken back into memory
  ByteSource RedirectGetFunc = nullptr;
  ByteSink RedirectUngetFunc = nullptr;
  ByteSink RedirectPutFunc = nullptr;
  ByteUnput RedirectUnputFunc = nullptr;
  ByteSink CopyGetFunc = nullptr;
  ByteSink CopyUnGetFunc = nullptr;
};
extern BufferedIoState bio;

// Limits the buffer size of every later b_open (-1: no limit), across
// conversions; the limit a conversion sets itself lasts only for it. Tests run
// conversions with tiny buffers this way.
void set_buffer_size_limit(int n);
// Returns the buffered I/O to its state before any b_open, keeping the
// configured limit.
void reset_buffered_io();

// Opens the buffers over a source and a target handle (either may be -1) with
// at least 50000 bytes each unless limited. 0, 8 (no memory) or 2 (first read failed).
int b_open(int in, int out, int size);
// Flushes the target and frees the buffers; 0.
int b_close();

int b_getc_slow();
int b_putc_slow(int c);

// Next byte 0..255 or -1. May end the conversion when a later window cannot be read.
inline int b_getc() {
  BufferedIoState &s = bio;
  if (s.ungetcnt == 0 && s.RedirectInputFlag == 0 && s.CopyGetFlag == 0 && s.in_ptr + 1 < s.in_eof &&
      progress.DispCurrentCount + 1 < progress.DispDotSize) {
    ++s.BCntRead;
    ++progress.DispCurrentCount;
    return *s.in_ptr++;
  }
  return b_getc_slow();
}

// Appends c to the target (or its redirection); 0. May end the conversion on a write error.
inline int b_putc(int c) {
  BufferedIoState &s = bio;
  if (s.RedirectOutputFlag == 0 && s.ot_ptr + 1 < s.ot_eof) {
    ++s.BCntWritten;
    *s.ot_ptr++ = static_cast<unsigned char>(c);
    return 0;
  }
  return b_putc_slow(c);
}

// Copies straight from the source window to the target buffer the bytes for
// which copyable[byte] is true, as b_getc and b_putc would one by one, while no
// push-back, redirection or copying is active and no progress step falls due.
// Returns the number of bytes copied (0 when the fast path does not apply).
long b_copy_run(const std::array<bool, 256> &copyable);

// Appends n bytes as b_putc would one by one; 0.
int b_putn(const unsigned char *bytes, long n);

// Pushes c back (-1 is stored as 0xFF); bytes come back last-in first-out.
int b_unget(int c);
// Takes back the last byte written; that byte, or -1.
int b_unput();
// Forms of b_getc and b_putc that ignore redirection and copying.
int qGetc();
int qPutc(int c);
int b_read(int h, unsigned char *buf, int n);
int b_write(int h, const unsigned char *buf, int n);
long b_pos();
long BytesRead();
long BytesWritten();
int RedirectOutput(ByteSink put, ByteUnput unput);
int RedirectOutputClose();
int RedirectInput(ByteSource get);
int RedirectGetUnget(ByteSource get, ByteSink unget);
int RedirectInputClose();
int CopyGetUnget(ByteSink get, ByteSink unget);
int CopyGetUngetClose();
// Reads the source again from offset 0; 0 or 2.
int RewindSourceFile();
int SetBGetPosition(long offset, int clear);
int SetMaxComBufferSize(int n);
// Writes one whole block; ends the conversion when nothing or an error comes back.
int WriteMainBuffer(int h, const unsigned char *buf, int n);

}  // namespace kiv
