// Temporary buffers. The lower half of the data area keeps the oldest bytes, the
// spill file the following half-size blocks in order, the upper half the newest.
#include "stream/temp_buffers.h"

#include <algorithm>
#include <cstring>

#include "runtime/error_exit.h"
#include "runtime/file_layer.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "runtime/temp_names.h"

namespace kiv {

struct TempBuffer {
  unsigned char *data;
  int put;      // index of the last byte stored; 0 when empty
  int get;      // index of the last byte read
  int written;  // half-size blocks spilled to the file
  int read;     // blocks read back
  int half;
  int full;
  int pushed;   // 1 while a push-back buffer holds bytes returned to the head
  int pushbuf;
  char spill_name[256];
  int spill_handle;  // handle of the spill file while it is the open one, else -1
  // Spilled blocks not yet in the file: the newest `staged` of the `written`
  // blocks wait here and go to the file in one write.
  unsigned char *stage;
  int staged;
};

TempBufferState temp_buffers;

namespace {

// Buffers that may stage their spilled blocks, and how many blocks a stage
// holds: the file is then written in stretches of several blocks, and the one
// open spill file changes hands that much less often.
constexpr int staging_buffers = 8;
constexpr int stage_blocks = 8;

}  // namespace

void reset_temp_buffers() { temp_buffers = {}; }

namespace {

constexpr int minimum_size = 30000;
constexpr int data_spare = 16;
constexpr int retry_step = 128;
constexpr int pushback_min = 128;
constexpr int pushback_max = 2048;

TempBuffer *buffer(int h) {
  if (h < 0 || h >= buffer_slots) return nullptr;
  return temp_buffers.bufptrs[static_cast<std::size_t>(h)];
}

void close_open_spill() {
  auto &s = temp_buffers;
  if (s.LastBufHandle != -1) KIVclose(s.LastBufHandle);
  if (TempBuffer *owner = buffer(s.LastBufRef)) owner->spill_handle = -1;
  s.LastBufHandle = -1;
  s.LastBufRef = -1;
  s.LastBufPos = 0;
}

// Makes b's spill file the open one (mode 3: it exists already).
void make_spill_open(TempBuffer *b, int h) {
  auto &s = temp_buffers;
  if (s.LastBufRef == h && s.LastBufHandle != -1) return;
  close_open_spill();
  const int handle = KIVopen(b->spill_name, open_update, kind_temporary);
  if (handle == -1) err_exit(exit_open_failed);
  s.LastBufHandle = b->spill_handle = handle;
  s.LastBufRef = h;
  s.LastBufPos = 0;
}

void seek_spill(long offset) {
  auto &s = temp_buffers;
  if (s.LastBufPos != offset) {
    if (KIVlseek(s.LastBufHandle, offset, 0) < 0) err_exit(exit_read_failed);
    s.LastBufPos = offset;
  }
}

void read_block(unsigned char *into, int n) {
  int done = 0;
  while (done < n) {
    const int got = KIVread(temp_buffers.LastBufHandle, into + done, n - done);
    if (got <= 0) err_exit(exit_read_failed);
    done += got;
  }
  temp_buffers.LastBufPos += n;
}

void remove_spill(TempBuffer *b, int h) {
  if (temp_buffers.LastBufRef == h) close_open_spill();
  if (b->spill_name[0] != '\0') KIVunlink(b->spill_name);
  b->spill_name[0] = '\0';
  b->written = b->read = b->staged = 0;
}

// The staged copy of spilled block number `block`, or null when that block is
// in the file.
unsigned char *staged_block(const TempBuffer *b, int block) {
  const int first = b->written - b->staged;
  if (block < first || block >= b->written) return nullptr;
  return b->stage + static_cast<std::size_t>(block - first) * b->half;
}

// Writes n bytes at offset in b's spill file, creating the file when b has none.
void write_spill(TempBuffer *b, int h, const unsigned char *bytes, long n, long offset) {
  auto &s = temp_buffers;
  if (b->spill_name[0] == '\0') {
    close_open_spill();  // one spill file is open at a time
    if (gen_fnam(settings.icfname, b->spill_name) != 0) err_exit(exit_open_failed);
    const int handle = KIVopen(b->spill_name, open_create, kind_temporary);
    if (handle == -1) err_exit(exit_open_failed);
    s.LastBufHandle = b->spill_handle = handle;
    s.LastBufRef = h;
    s.LastBufPos = 0;
  } else {
    make_spill_open(b, h);
  }
  seek_spill(offset);
  long done = 0;
  while (done < n) {
    const int chunk = static_cast<int>(std::min<long>(n - done, 1L << 30));
    const int written = KIVwrite(s.LastBufHandle, bytes + done, chunk);
    if (written == 0) err_exit(exit_disk_full);
    if (written < 0) err_exit(exit_write_failed);
    done += written;
  }
  s.LastBufPos += done;
}

// Puts the staged blocks into the file, behind the blocks already there.
void flush_stage(TempBuffer *b, int h) {
  if (b->staged == 0) return;
  const long first = b->written - b->staged;
  write_spill(b, h, b->stage, static_cast<long>(b->staged) * b->half, first * b->half);
  b->staged = 0;
}

// Closes b's push-back buffer, whose bytes have all come back.
void end_pushback(TempBuffer *b) {
  bufclose(b->pushbuf);
  b->pushbuf = -1;
  b->pushed = 0;
}

void spill_upper_half(TempBuffer *b, int h) {
  if (b->written == 0 && b->spill_name[0] == '\0') {
    // The file exists from the first spill on, staged or not.
    write_spill(b, h, nullptr, 0, 0);
  }
  if (!b->stage && temp_buffers.stages_in_use < staging_buffers) {
    b->stage = static_cast<unsigned char *>(KIVmalloc(static_cast<std::size_t>(stage_blocks) * b->half));
    if (b->stage) ++temp_buffers.stages_in_use;
  }
  if (!b->stage) {
    write_spill(b, h, b->data + b->half, b->half, static_cast<long>(b->written) * b->half);
  } else {
    if (b->staged == stage_blocks) flush_stage(b, h);
    std::memcpy(b->stage + static_cast<std::size_t>(b->staged) * b->half, b->data + b->half,
                static_cast<std::size_t>(b->half));
    b->staged += 1;
  }
  b->written += 1;
}

}  // namespace

int bufinit(int size) {
  auto &s = temp_buffers;
  if (s.totused >= buffer_slots) return -1;
  size = std::max(size, minimum_size);
  void *block = nullptr;
  while (size > 0 && !(block = KIVmalloc(sizeof(TempBuffer) + static_cast<std::size_t>(size) + data_spare)))
    size -= retry_step;
  if (!block) return -1;
  int h = 0;
  while (h < s.totused && s.bufptrs[static_cast<std::size_t>(h)] != nullptr) ++h;
  s.totused += 1;
  auto *b = static_cast<TempBuffer *>(block);
  b->data = static_cast<unsigned char *>(block) + sizeof(TempBuffer);
  b->put = b->get = b->written = b->read = 0;
  b->half = size / 2;
  b->full = 2 * b->half;
  b->pushed = 0;
  b->pushbuf = -1;
  b->spill_name[0] = '\0';
  b->spill_handle = -1;
  b->stage = nullptr;
  b->staged = 0;
  s.bufptrs[static_cast<std::size_t>(h)] = b;
  return h;
}

int bufopen(int size) { return bufinit(size); }

int bufput(int c, int h) {
  TempBuffer *b = buffer(h);
  if (!b) return 0;
  b->put += 1;
  if (b->put >= b->full) {
    spill_upper_half(b, h);
    b->put = b->half;
  }
  b->data[b->put] = static_cast<unsigned char>(c);
  return 0;
}

int bufget(int h) {
  TempBuffer *b = buffer(h);
  if (!b) return end_of_input;
  if (b->pushed) {
    const int c = bufunput(b->pushbuf);
    if (c != end_of_input) return c;
    end_pushback(b);
  }
  if (b->get >= b->put) {
    b->put = b->get = b->written = b->read = 0;
    return end_of_input;
  }
  b->get += 1;
  if (b->get >= b->half) {
    if (b->written > b->read) {
      if (const unsigned char *staged = staged_block(b, b->read)) {
        std::memcpy(b->data, staged, static_cast<std::size_t>(b->half));  // never went to the file
      } else {
        make_spill_open(b, h);
        seek_spill(static_cast<long>(b->read) * b->half);
        read_block(b->data, b->half);
      }
      b->read += 1;
      b->get = 0;
      if (b->written <= b->read) remove_spill(b, h);
    } else {
      std::memmove(b->data, b->data + b->get, static_cast<std::size_t>(b->put - b->get + 1));
      b->put -= b->get;
      b->get = 0;
    }
  }
  return b->data[b->get];
}

int bufunput(int h) {
  TempBuffer *b = buffer(h);
  if (!b) return end_of_input;
  if (b->get < b->put) {
    const int c = b->data[b->put];
    const int old_put = b->put;
    b->put -= 1;
    if (old_put <= b->half && b->written >= 1 && b->written > b->read) {
      // The tail continues in the last spilled block.
      if (const unsigned char *staged = staged_block(b, b->written - 1)) {
        std::memcpy(b->data + b->half, staged, static_cast<std::size_t>(b->half));
        b->staged -= 1;
        b->written -= 1;
      } else {
        b->written -= 1;
        make_spill_open(b, h);
        seek_spill(static_cast<long>(b->written) * b->half);
        read_block(b->data + b->half, b->half);
      }
      b->put = b->full - 1;
      if (b->written == b->read) remove_spill(b, h);
    }
    return c;
  }
  if (b->pushed) {
    const int c = bufget(b->pushbuf);
    if (c == end_of_input) {
      end_pushback(b);
    }
    return c;
  }
  return end_of_input;
}

int bufunget(int c, int h) {
  TempBuffer *b = buffer(h);
  if (!b) return 0;
  if (!b->pushed && b->get >= 1) {
    b->data[b->get] = static_cast<unsigned char>(c);
    b->get -= 1;
    return 0;
  }
  if (b->pushbuf == -1) {
    b->pushbuf = bufinit(std::clamp(b->half, pushback_min, pushback_max));
    if (b->pushbuf == -1) err_exit(exit_no_memory);  // a lost byte would corrupt the queue
  }
  bufput(c, b->pushbuf);
  b->pushed = 1;
  return 0;
}

int bufputs(int h, const unsigned char *src, int n) {
  TempBuffer *b = buffer(h);
  int i = 0;
  while (b && i < n) {
    // Up to the byte that fills the data area, bytes go in one stretch; that
    // byte takes bufput's path, which spills the upper half.
    const int run = std::min(b->full - 2 - b->put, n - i);
    if (run > 0) {
      std::memcpy(b->data + b->put + 1, src + i, static_cast<std::size_t>(run));
      b->put += run;
      i += run;
      continue;
    }
    bufput(src[i++], h);
  }
  return 0;
}

int bufgets(int h, unsigned char *dst, int n) {
  TempBuffer *b = buffer(h);
  int count = 0;
  while (b && count < n) {
    // Bytes below the half mark are read in one stretch; bufget itself takes
    // the pushed-back bytes and the steps where the data moves or is reloaded.
    const int last = std::min(b->put, b->half - 1);
    const int run = b->pushed ? 0 : std::min(last - b->get, n - count);
    if (run > 0) {
      std::memcpy(dst + count, b->data + b->get + 1, static_cast<std::size_t>(run));
      b->get += run;
      count += run;
      continue;
    }
    const int c = bufget(h);
    if (c == end_of_input) break;
    dst[count++] = static_cast<unsigned char>(c);
  }
  return count;
}

int bufunputs(int h, unsigned char *dst, int n) {
  for (int i = 0; i < n; ++i) {
    const int c = bufunput(h);
    if (c == end_of_input) break;
    dst[i] = static_cast<unsigned char>(c);
  }
  return 0;
}

int bufdrain(int h, BufMemorySink put, BufFileSink put_file) {
  TempBuffer *b = buffer(h);
  if (!b) return 0;
  while (b->pushed) {
    const int c = bufunput(b->pushbuf);
    if (c == end_of_input) {
      end_pushback(b);
      break;
    }
    const auto byte = static_cast<unsigned char>(c);
    put(&byte, 1);
  }
  if (b->written > b->read) {
    // The rest of the lower half, the spilled blocks, then the upper half.
    if (b->get < b->half - 1) put(b->data + b->get + 1, b->half - 1 - b->get);
    const int first_staged = b->written - b->staged;
    if (b->read < first_staged) {
      make_spill_open(b, h);
      long offset = static_cast<long>(b->read) * b->half;
      const long end = static_cast<long>(first_staged) * b->half;
      if (put_file) offset += std::max(0L, put_file(temp_buffers.LastBufHandle, offset, end - offset));
      while (offset < end) {
        // The lower half has been handed on: it takes the blocks read back.
        const int chunk = static_cast<int>(std::min<long>(end - offset, b->half));
        seek_spill(offset);
        read_block(b->data, chunk);
        put(b->data, chunk);
        offset += chunk;
      }
    }
    const int from = std::max(b->read, first_staged);
    if (from < b->written) {
      put(b->stage + static_cast<std::size_t>(from - first_staged) * b->half,
          static_cast<long>(b->written - from) * b->half);
    }
    put(b->data + b->half, b->put - b->half + 1);
  } else if (b->put > b->get) {
    put(b->data + b->get + 1, b->put - b->get);
  }
  if (b->spill_name[0] != '\0') remove_spill(b, h);
  b->put = b->get = b->written = b->read = b->staged = 0;
  return 0;
}

long BufNumStored(int h) {
  const TempBuffer *b = buffer(h);
  if (!b) return 0;
  return b->put + static_cast<long>(b->half) * (b->written - b->read) - b->get;
}

int bufclose(int h) {
  TempBuffer *b = buffer(h);
  if (!b) return 0;
  if (b->pushed || b->pushbuf != -1) bufclose(b->pushbuf);
  if (b->spill_name[0] != '\0') remove_spill(b, h);
  else if (temp_buffers.LastBufRef == h) close_open_spill();
  if (b->stage) {
    KIVfree(b->stage);
    --temp_buffers.stages_in_use;
  }
  temp_buffers.bufptrs[static_cast<std::size_t>(h)] = nullptr;
  KIVfree(b);
  temp_buffers.totused -= 1;
  return 0;
}

int bufcloseall() {
  if (temp_buffers.totused > 0) {
    for (int h = 0; h < buffer_slots; ++h) bufclose(h);
    temp_buffers.totused = 0;
  }
  close_open_spill();
  return 0;
}

int BufCloseAllButOne(int keep) {
  for (int h = 0; h < buffer_slots && temp_buffers.totused > (buffer(keep) ? 1 : 0); ++h)
    if (h != keep) bufclose(h);
  return 0;
}

int bufsetup(int) { return 0; }

}  // namespace kiv
