// Temporary buffers: numbered byte queues that live in memory and spill to a
// temporary file when they outgrow it. Bytes are appended at the tail, read from
// the head, and can be taken back at either end. Only one spill file is open at
// a time, shared by all buffers.
#pragma once

#include <array>

#include "common/types.h"

namespace kiv {

inline constexpr int buffer_slots = 600;

struct TempBuffer;

struct TempBufferState {
  std::array<TempBuffer *, buffer_slots> bufptrs{};
  int totused = 0;         // open buffers
  int LastBufRef = -1;     // buffer whose spill file is open
  int LastBufHandle = -1;  // handle of that file
  long LastBufPos = 0;     // current offset in it
  int stages_in_use = 0;   // buffers holding a stage of spilled blocks
};
extern TempBufferState temp_buffers;

// Drops every buffer without freeing or removing anything (after KIVFreeAll;
// bufcloseall is the release).
void reset_temp_buffers();

// A new buffer of at least 30000 bytes (less when memory is short); handle or -1.
int bufinit(int size);
int bufopen(int size);
// Appends c; 0. Ends the conversion when the spill file cannot be made or written.
int bufput(int c, int h);
// Removes and returns the head byte, or -1 when empty (the buffer is then reset).
int bufget(int h);
// Removes and returns the tail byte, or -1.
int bufunput(int h);
// Returns c to the head; 0.
int bufunget(int c, int h);
int bufputs(int h, const unsigned char *src, int n);
// Reads up to n bytes; the count read.
int bufgets(int h, unsigned char *dst, int n);
// Takes n bytes from the tail into dst, newest first; 0.
int bufunputs(int h, unsigned char *dst, int n);
// Sinks of bufdrain: a stretch in memory (0), and a stretch of a spill file
// (handle, offset, count), which returns how many of the bytes it moved.
using BufMemorySink = int (*)(const unsigned char *bytes, long n);
using BufFileSink = long (*)(int handle, long offset, long n);
// Hands every byte not yet read to the sinks, in order, and leaves the buffer
// empty with its spill file removed, as reading it with bufget to the end
// would. Stretches still in the spill file go to put_file first; what it does
// not move is read back and goes to put like the rest; 0.
int bufdrain(int h, BufMemorySink put, BufFileSink put_file);
// Bytes not yet read.
long BufNumStored(int h);
// Frees the buffer and removes its spill file; 0.
int bufclose(int h);
int bufcloseall();
int BufCloseAllButOne(int keep);
int bufsetup(int x);

}  // namespace kiv
