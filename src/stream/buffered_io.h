// Buffered source and target I/O: a read window over the source with unlimited
// push-back, two output buffers that let bytes already written be taken back,
// and redirection of either side to callbacks. One source and one target at a
// time; the state below is the whole of it.
#pragma once

#include <array>
#include <cstring>

#include "common/types.h"
#include "runtime/progress.h"

namespace kiv {

// A sink for a stretch of bytes at once; 0.
using ByteRunSink = int (*)(const unsigned char *bytes, long n);

// Redirected output bytes gathered before they go to a run sink.
inline constexpr std::size_t redirect_gather_size = 4096;

struct BufferedIoState {
  int in_f = -1;                       // source handle
  int ot_f = -1;                       // target handle
  unsigned char *in_bufr = nullptr;    // source window (17 spare bytes)
  unsigned char *in_ptr = nullptr;     // next byte of the window
  unsigned char *in_eof = nullptr;     // end of the valid bytes in the window
  // b_getc's fast path reads while in_ptr is below this: never the window's
  // last byte nor the byte that completes a progress step that shows, and not at all
  // while bytes are pushed back or input is redirected or copied. The slow
  // path sets it again; whatever changes those conditions clears it.
  unsigned char *in_fast_end = nullptr;
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
  ByteRunSink RedirectPutnFunc = nullptr;  // stretches of redirected output, when the sink takes them
  // With a run sink, redirected bytes are gathered here and handed on in stretches.
  std::array<unsigned char, redirect_gather_size> gathered{};
  unsigned char *gather_ptr = nullptr;     // next free byte of gathered; null while not gathering
  unsigned char *gather_end = nullptr;
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
int b_putn_slow(const unsigned char *bytes, long n);

// Next byte 0..255 or -1. May end the conversion when a later window cannot be read.
inline int b_getc() {
  BufferedIoState &s = bio;
  if (s.in_ptr < s.in_fast_end) {
    ++s.BCntRead;
    ++progress.DispCurrentCount;
    return *s.in_ptr++;
  }
  return b_getc_slow();
}

// Readers that scan for separators look at the bytes b_getc's fast path would
// hand out next, straight in the source window: [b_window_begin(),
// b_window_end()), empty when the fast path does not apply. Taking n of them
// with b_take counts them as n calls of b_getc would.
inline const unsigned char *b_window_begin() { return bio.in_ptr; }
inline const unsigned char *b_window_end() {
  return bio.in_ptr < bio.in_fast_end ? bio.in_fast_end : bio.in_ptr;
}
inline void b_take(long n) {
  bio.in_ptr += n;
  bio.BCntRead += n;
  progress.DispCurrentCount += static_cast<std::uint32_t>(n);
}

// Appends c to the target (or its redirection); 0. May end the conversion on a write error.
inline int b_putc(int c) {
  BufferedIoState &s = bio;
  if (s.RedirectOutputFlag == 0) {
    if (s.ot_ptr + 1 < s.ot_eof) {
      ++s.BCntWritten;
      *s.ot_ptr++ = static_cast<unsigned char>(c);
      return 0;
    }
  } else if (s.gather_ptr < s.gather_end) {
    *s.gather_ptr++ = static_cast<unsigned char>(c);
    return 0;
  }
  return b_putc_slow(c);
}

// Sixteen bytes looked at side by side.
using ByteBlock = unsigned char __attribute__((vector_size(16)));

constexpr ByteBlock repeated(unsigned char c) { return ByteBlock{c, c, c, c, c, c, c, c, c, c, c, c, c, c, c, c}; }

// The bytes a run copied by b_copy_run may hold: low to high, except the stops
// (a stop may repeat when fewer are wanted). Made with run_bytes, which also
// spreads each value over a block for the scan.
struct RunBytes {
  unsigned char low;
  unsigned char span;  // high - low
  std::array<unsigned char, 3> stops;
  ByteBlock low_block;
  ByteBlock span_block;
  std::array<ByteBlock, 3> stop_blocks;
};

constexpr RunBytes run_bytes(unsigned char low, unsigned char high, std::array<unsigned char, 3> stops) {
  const auto span = static_cast<unsigned char>(high - low);
  return {low,           span, stops, repeated(low), repeated(span),
          {repeated(stops[0]), repeated(stops[1]), repeated(stops[2])}};
}

// Copies straight from the source window to the target buffer, or in one call
// to the redirection's run sink, the bytes that RunBytes admits, as b_getc and
// b_putc would one by one, while no push-back, input redirection or copying is
// active and no progress step falls due. Returns the number of bytes copied (0
// when the fast path does not apply).
long b_copy_run(const RunBytes &bytes);

// Appends n bytes as b_putc would one by one (a redirection with a run sink
// gets them in one call); 0. May end the conversion on a write error.
inline int b_putn(const unsigned char *bytes, long n) {
  BufferedIoState &s = bio;
  if (s.RedirectOutputFlag == 0) {
    // The byte that fills the buffer takes the slow path, which hands the block on.
    if (n < s.ot_eof - s.ot_ptr) {
      std::memcpy(s.ot_ptr, bytes, static_cast<std::size_t>(n));
      s.ot_ptr += n;
      s.BCntWritten += n;
      return 0;
    }
  } else if (n <= s.gather_end - s.gather_ptr) {
    std::memcpy(s.gather_ptr, bytes, static_cast<std::size_t>(n));
    s.gather_ptr += n;
    return 0;
  }
  return b_putn_slow(bytes, n);
}

// Appends the n bytes (at most 16) that fill(p) writes from p on, as b_putn
// would: straight into the target buffer where it has room, so that a short
// piece is written once and never copied.
template <typename Fill>
inline int b_put_filled(long n, Fill fill) {
  BufferedIoState &s = bio;
  if (s.RedirectOutputFlag == 0 && n < s.ot_eof - s.ot_ptr) {
    fill(s.ot_ptr);
    s.ot_ptr += n;
    s.BCntWritten += n;
    return 0;
  }
  unsigned char bytes[16];
  fill(bytes);
  return b_putn(bytes, n);
}

// Appends as much as it can of n bytes of file h, from offset on (the file's
// own position does not move), as b_putn would, but inside the system: the
// target is brought up to date first, and the bytes go from file to file.
// Only stretches of at least a buffer's size are moved this way, so that
// b_unput can still bring back a whole buffer from the target. Returns the
// number of bytes moved (0 when output is redirected or the file layer cannot
// copy); the caller writes the rest.
long b_putfile(int h, long offset, long n);

// b_last_put's answer when the last byte is not at hand.
inline constexpr int not_in_memory = -2;

// The last byte written, as b_unput would return it, when it is at hand in
// the buffer being filled (or among the gathered redirected bytes); -1 when
// nothing has been written; not_in_memory otherwise (b_unput and b_putc then
// tell). Changes nothing.
inline int b_last_put() {
  const BufferedIoState &s = bio;
  if (s.RedirectOutputFlag != 0) {
    return s.gather_ptr != nullptr && s.gather_ptr > s.gathered.data() ? s.gather_ptr[-1] : not_in_memory;
  }
  if (s.BCntWritten == 0) return end_of_input;
  const unsigned char *start = s.ot_side == 0 ? s.ot_bufr1 : s.ot_bufr2;
  return start != nullptr && s.ot_ptr > start ? s.ot_ptr[-1] : not_in_memory;
}

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
// Output goes to put and is taken back through unput from now on (bytes
// gathered for a run sink set before go to it first, and it is dropped); 0.
int RedirectOutput(ByteSink put, ByteUnput unput);
// While output is redirected, bytes are gathered and handed to putn in
// stretches rather than to put one by one; unput is called only for bytes
// already handed on. 0.
int RedirectOutputRuns(ByteRunSink putn);
// Hands the gathered bytes to the run sink now (the sink's owner calls it
// before it looks at what it received); 0.
int FlushRedirectedOutput();
// Forgets the gathered bytes (when the sink is abandoned); 0.
int DropRedirectedOutput();
// Ends output redirection, handing gathered bytes to the run sink first; 0.
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
