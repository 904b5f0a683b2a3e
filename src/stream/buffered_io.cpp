// Buffered source and target I/O: the slow paths of b_getc and b_putc, push-back
// and take-back, redirection, and the opening and closing of the buffers.
#include "stream/buffered_io.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "runtime/error_exit.h"
#include "runtime/file_layer.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "stream/temp_buffers.h"

namespace kiv {

BufferedIoState bio;

void set_buffer_size_limit(int n) { bio.configured_limit = n; }

void reset_buffered_io() {
  const int limit = bio.configured_limit;
  bio = {};
  bio.configured_limit = limit;
  bio.MaxSize = limit;
}

namespace {

constexpr int spare = 17;               // bytes past each buffer (the progress byte lives there)
constexpr int minimum_size = 50000;     // buffer size when no limit is set
constexpr int remote_size = 4096;       // buffer size over a message queue, pipes or a standard stream
constexpr int unget_capacity = 1024;
constexpr int unget_spare = 16;
constexpr int past_end_limit = 50;      // end state above this is reported as a warning
constexpr int overflow_buffer_size = 2048;

unsigned char *current_start() { return bio.ot_side == 0 ? bio.ot_bufr1 : bio.ot_bufr2; }
unsigned char *other_start() { return bio.ot_side == 0 ? bio.ot_bufr2 : bio.ot_bufr1; }
int &current_stat() { return bio.ot_side == 0 ? bio.ot_stat1 : bio.ot_stat2; }
int &other_stat() { return bio.ot_side == 0 ? bio.ot_stat2 : bio.ot_stat1; }

void reset_target_side() {
  bio.ot_side = 0;
  bio.ot_stat1 = bio.ot_stat2 = 0;
  bio.ot_ptr = bio.ot_bufr1;
  bio.ot_eof = bio.ot_bufr1 ? bio.ot_bufr1 + bio.ot_bsize : nullptr;
}

void free_buffers() {
  bio.in_fast_end = nullptr;
  KIVfree(bio.ungetbuf);
  KIVfree(bio.in_bufr);
  KIVfree(bio.ot_bufr1);
  KIVfree(bio.ot_bufr2);
  bio.ungetbuf = bio.in_bufr = bio.ot_bufr1 = bio.ot_bufr2 = nullptr;
  bio.in_ptr = bio.in_eof = bio.ot_ptr = bio.ot_eof = nullptr;
}

void drop_pushed_back() {
  bio.ungetcnt = 0;
  bio.in_fast_end = nullptr;
  if (bio.ungettemp != -1) {
    bufclose(bio.ungettemp);
    bio.ungettemp = -1;
  }
}

// Reads a window into the start of in_bufr; the byte count or a negative result.
int read_window() {
  bio.in_fast_end = nullptr;
  const int n = KIVread(bio.in_f, bio.in_bufr, bio.in_bsize);
  if (n >= 0) {
    bio.in_ptr = bio.in_bufr;
    bio.in_eof = bio.in_bufr + n;
  }
  return n;
}

int pop_pushed_back() {
  if (bio.ungetcnt <= bio.ungetsiz) return bio.ungetbuf[--bio.ungetcnt];
  const int c = bufunput(bio.ungettemp);
  if (c != end_of_input) return c;
  // The overflow is used up: the stack's top byte comes next.
  bufclose(bio.ungettemp);
  bio.ungettemp = -1;
  bio.ungetcnt -= 2;
  return bio.ungetbuf[bio.ungetcnt];
}

void count_progress() {
  if (++progress.DispCurrentCount >= progress.DispDotSize) {
    progress.DispCurrentCount = 0;
    DispDotUpdate();
  }
}

// Lets b_getc's fast path run up to the next point where the slow path has
// something to do (see in_fast_end).
void refresh_fast_read() {
  BufferedIoState &s = bio;
  s.in_fast_end = nullptr;
  if (s.ungetcnt != 0 || s.RedirectInputFlag != 0 || s.CopyGetFlag != 0 || s.in_ptr == nullptr) return;
  // A step changes nothing while the display is off or full: the fast path
  // then runs to the window's end, and the next slow call catches the count
  // up. (A source of unknown size, a pipe, has a step at every byte.)
  const bool steps_show = (settings.optflags & opt_no_progress) == 0 && progress.CurrentPercent < 100;
  const long until_step = steps_show ? static_cast<long>(progress.DispDotSize) - static_cast<long>(progress.DispCurrentCount) - 1
                                     : s.in_eof - s.in_ptr;
  const long room = std::min<long>(s.in_eof - s.in_ptr - 1, until_step);
  if (room > 0) s.in_fast_end = s.in_ptr + room;
}

// Next byte of the source window, or -1 past the end (without copy handling).
int window_getc(bool &source_end) {
  source_end = false;
  if (bio.in_bufr == nullptr || bio.in_eofst != 0 || bio.in_ptr >= bio.in_eof) {
    if (bio.in_bufr != nullptr) bio.in_pos += bio.in_bsize;
    bio.in_eofst = bio.in_eofst == 0 ? 1 : std::min(bio.in_eofst + 2, past_end_limit + 1);
    source_end = true;
    if (bio.in_eofst > past_end_limit) err_exit(exit_read_past_end);
    return end_of_input;
  }
  count_progress();
  const int c = *bio.in_ptr++;
  if (bio.in_ptr >= bio.in_eof) {
    bio.in_pos += bio.in_bsize;
    const int n = read_window();
    if (n < 0) err_exit(exit_read_failed);
    if (n == 0) bio.in_eofst = 1;
  }
  return c;
}

// The first byte of a word in memory order that has any bit set (the word is not 0).
int first_set_byte(std::uint64_t word) {
  if constexpr (std::endian::native == std::endian::little) return std::countr_zero(word) / 8;
  else return std::countl_zero(word) / 8;
}

// How many bytes at the start of in[0, room) RunBytes admits. Sixteen bytes are
// looked at a step, side by side, then the rest one at a time.
long admitted_run(const unsigned char *in, long room, const RunBytes &bytes) {
  long n = 0;
  for (; n + 16 <= room; n += 16) {
    ByteBlock block;
    std::memcpy(&block, in + n, sizeof block);
    // Out of range once shifted down by low, or one of the stops.
    const auto refused = ((block - bytes.low_block) > bytes.span_block) | (block == bytes.stop_blocks[0]) |
                         (block == bytes.stop_blocks[1]) | (block == bytes.stop_blocks[2]);
    std::uint64_t halves[2];
    std::memcpy(halves, &refused, sizeof halves);
    if (halves[0] != 0) return n + first_set_byte(halves[0]);
    if (halves[1] != 0) return n + 8 + first_set_byte(halves[1]);
  }
  for (; n < room; ++n) {
    const unsigned char c = in[n];
    if (static_cast<unsigned char>(c - bytes.low) > bytes.span || c == bytes.stops[0] || c == bytes.stops[1] ||
        c == bytes.stops[2])
      break;
  }
  return n;
}

// Copies n bytes (n > 0) in a few overlapping pieces of fixed size, which
// costs less than a call for the short runs between codes.
void copy_run(unsigned char *out, const unsigned char *in, long n) {
  const auto piece = [&](long at, auto width) {
    decltype(width) bytes;
    std::memcpy(&bytes, in + at, sizeof bytes);
    std::memcpy(out + at, &bytes, sizeof bytes);
  };
  if (n >= 16) {
    for (long at = 0; at + 16 <= n; at += 16) piece(at, ByteBlock{});
    piece(n - 16, ByteBlock{});
  } else if (n >= 8) {
    piece(0, std::uint64_t{});
    piece(n - 8, std::uint64_t{});
  } else if (n >= 4) {
    piece(0, std::uint32_t{});
    piece(n - 4, std::uint32_t{});
  } else {
    for (long i = 0; i < n; ++i) out[i] = in[i];
  }
}

}  // namespace

int b_open(int in, int out, int size) {
  if (file_layer.small_buffers_wanted) SetMaxComBufferSize(remote_size);
  if (bio.MaxSize != -1 && size > bio.MaxSize) size = bio.MaxSize;
  if (bio.MaxSize == -1 && size < minimum_size) size = minimum_size;
  if (settings.IPCMsgQueueID != -1) size = remote_size;
  const int first_size = size;

  bio.in_fast_end = nullptr;
  bio.RedirectOutputFlag = 0;
  if (bio.RedirectInputFlag != 1) bio.RedirectInputFlag = 0;
  bio.BCntRead = bio.BCntWritten = 0;
  bio.in_pos = 0;
  bio.ot_reread = 0;
  bio.ungetsiz = std::min(unget_capacity, size);
  bio.in_f = in;
  bio.ot_f = out;

  const int wanted = (in != -1 && out != -1) ? 3 : (in != -1 ? 1 : 2);
  unsigned char *blocks[3] = {};
  for (;;) {
    int got = 0;
    while (got < wanted && (blocks[got] = static_cast<unsigned char *>(KIVmalloc(static_cast<std::size_t>(size) + spare))))
      ++got;
    if (got == wanted) break;
    while (got > 0) KIVfree(blocks[--got]);
    size -= first_size / 4;
    if (size <= 0 || first_size / 4 == 0) return exit_no_memory;
  }
  bio.in_bsize = bio.ot_bsize = size;
  int next = 0;
  bio.in_bufr = in != -1 ? blocks[next++] : nullptr;
  bio.ot_bufr1 = next < wanted ? blocks[next++] : nullptr;
  bio.ot_bufr2 = next < wanted ? blocks[next++] : nullptr;
  reset_target_side();
  bio.in_ptr = bio.in_eof = bio.in_bufr;

  bio.ungetbuf = static_cast<unsigned char *>(KIVmalloc(static_cast<std::size_t>(bio.ungetsiz) + unget_spare));
  if (!bio.ungetbuf) {
    free_buffers();
    return exit_no_memory;
  }
  bio.ungetcnt = 0;
  bio.in_eofst = 0;
  bio.ungettemp = -1;

  if (in != -1) {
    if (read_window() < 0) return exit_read_failed;
    bio.in_pos += bio.in_bsize;
  }
  return 0;
}

int b_close() {
  if (bio.ot_f != -1 && bio.ot_bufr1 != nullptr) {
    if (other_stat() == 1) {
      WriteMainBuffer(bio.ot_f, other_start(), bio.ot_bsize);
      other_stat() = 0;
    }
    const int n = static_cast<int>(bio.ot_ptr - current_start());
    if (n > 0) {
      current_start()[n] = 100;  // the progress byte after the final block
      WriteMainBuffer(bio.ot_f, current_start(), n);
    }
    // Blocks taken back and not written again must not survive at the end.
    if (bio.ot_reread) truncate_at_position(bio.ot_f);
  }
  free_buffers();
  return 0;
}

int b_getc_slow() {
  ++bio.BCntRead;
  int c;
  bool source_end = false;
  if (bio.ungetcnt > 0 && bio.ungetbuf != nullptr) {
    c = bio.RedirectInputFlag == 2 ? bio.RedirectGetFunc() : pop_pushed_back();
  } else if (bio.RedirectInputFlag != 0) {
    c = bio.RedirectGetFunc();
  } else {
    c = window_getc(source_end);
  }
  if (bio.CopyGetFlag && !source_end) bio.CopyGetFunc(c);
  refresh_fast_read();
  return c;
}

long b_copy_run(const RunBytes &bytes) {
  BufferedIoState &s = bio;
  // The input side may go as far as b_getc's fast path: that bound already
  // excludes push-back, input redirection, copying, the window's last byte
  // and the next progress step.
  if (!(s.in_ptr < s.in_fast_end)) refresh_fast_read();
  long room = s.in_ptr < s.in_fast_end ? s.in_fast_end - s.in_ptr : 0;
  unsigned char *out;
  if (s.RedirectOutputFlag == 0) {
    if (s.ot_ptr == nullptr) return 0;
    out = s.ot_ptr;
    room = std::min<long>(room, s.ot_eof - out - 1);  // the byte that fills it takes the slow path
  } else {
    if (s.gather_ptr == nullptr) return 0;
    if (s.gather_ptr == s.gather_end) FlushRedirectedOutput();
    out = s.gather_ptr;
    room = std::min<long>(room, s.gather_end - out);
  }
  const unsigned char *in = s.in_ptr;
  const long n = admitted_run(in, room, bytes);
  if (n <= 0) return 0;
  if (n <= 64) copy_run(out, in, n);
  else std::memcpy(out, in, static_cast<std::size_t>(n));
  if (s.RedirectOutputFlag == 0) {
    s.ot_ptr += n;
    s.BCntWritten += n;
  } else {
    s.gather_ptr += n;
  }
  s.in_ptr += n;
  s.BCntRead += n;
  progress.DispCurrentCount += static_cast<std::uint32_t>(n);
  return n;
}

int b_putn_slow(const unsigned char *bytes, long n) {
  BufferedIoState &s = bio;
  if (s.RedirectOutputFlag != 0 && s.gather_ptr != nullptr) {
    if (n <= 0) return 0;
    FlushRedirectedOutput();
    // A stretch longer than the stage goes on at once.
    if (n > s.gather_end - s.gather_ptr) return s.RedirectPutnFunc(bytes, n);
    std::memcpy(s.gather_ptr, bytes, static_cast<std::size_t>(n));
    s.gather_ptr += n;
    return 0;
  }
  while (n > 0) {
    // Whole stretches go in at once; the byte that fills a buffer takes the slow path.
    const long room = s.RedirectOutputFlag == 0 && s.ot_ptr != nullptr ? s.ot_eof - s.ot_ptr - 1 : 0;
    if (room <= 0) {
      b_putc_slow(*bytes++);
      --n;
      continue;
    }
    const long chunk = std::min(room, n);
    std::memcpy(s.ot_ptr, bytes, static_cast<std::size_t>(chunk));
    s.ot_ptr += chunk;
    s.BCntWritten += chunk;
    bytes += chunk;
    n -= chunk;
  }
  return 0;
}

long b_putfile(int h, long offset, long n) {
  BufferedIoState &s = bio;
  if (s.RedirectOutputFlag != 0 || s.ot_f == -1 || s.ot_bufr1 == nullptr || n < s.ot_bsize) return 0;
  // Where nothing can be copied the blocks keep their sizes, as a host's write hook sees them.
  if (!KIVcan_copy(s.ot_f)) return 0;
  // What the buffers hold goes first, in the order it was written.
  if (other_stat() == 1) {
    WriteMainBuffer(s.ot_f, other_start(), s.ot_bsize);
    other_stat() = 0;
  }
  const int held = static_cast<int>(s.ot_ptr - current_start());
  if (held > 0) {
    s.ot_ptr[0] = static_cast<unsigned char>(GetCurrentPercentComplete());
    WriteMainBuffer(s.ot_f, current_start(), held);
  }
  reset_target_side();
  const long moved = KIVcopy(h, offset, s.ot_f, n);
  if (moved <= 0) return 0;
  s.BCntWritten += moved;
  return moved;
}

int b_unget(int c) {
  if (bio.CopyGetFlag) bio.CopyUnGetFunc(c);
  if (bio.RedirectInputFlag == 2) return bio.RedirectUngetFunc(c);
  if (bio.ungetbuf == nullptr) return 0;  // nothing is open: there is no source to return to
  const auto byte = static_cast<unsigned char>(c & 0xFF);
  bio.in_fast_end = nullptr;  // the pushed-back bytes come first
  if (bio.ungetcnt < bio.ungetsiz) {
    bio.ungetbuf[bio.ungetcnt++] = byte;
    return 0;
  }
  if (bio.ungettemp == -1) {
    bio.ungettemp = bufopen(overflow_buffer_size);
    if (bio.ungettemp == -1) err_exit(exit_no_memory);  // a lost byte would corrupt the stream
    bio.ungetcnt = bio.ungetsiz + 1;
  }
  return bufput(byte, bio.ungettemp);
}

int b_putc_slow(int c) {
  if (bio.RedirectOutputFlag) {
    if (bio.gather_ptr == nullptr) return bio.RedirectPutFunc(c);
    FlushRedirectedOutput();
    *bio.gather_ptr++ = static_cast<unsigned char>(c);
    return 0;
  }
  if (bio.ot_bufr1 == nullptr) return 0;  // no target is open
  ++bio.BCntWritten;
  *bio.ot_ptr++ = static_cast<unsigned char>(c);
  if (bio.ot_ptr >= bio.ot_eof) {
    if (other_stat() == 1) {
      WriteMainBuffer(bio.ot_f, other_start(), bio.ot_bsize);
      other_stat() = 0;
    }
    bio.ot_eof[0] = static_cast<unsigned char>(GetCurrentPercentComplete());
    current_stat() = 1;
    bio.ot_side ^= 1;
    bio.ot_ptr = current_start();
    bio.ot_eof = bio.ot_ptr + bio.ot_bsize;
  }
  return 0;
}

int b_unput() {
  if (bio.RedirectOutputFlag) {
    if (bio.gather_ptr != nullptr && bio.gather_ptr > bio.gathered.data()) return *--bio.gather_ptr;
    return bio.RedirectUnputFunc();
  }
  if (bio.BCntWritten == 0 || bio.ot_bufr1 == nullptr) return end_of_input;
  if (bio.ot_ptr == current_start()) {
    current_stat() = 0;
    bio.ot_side ^= 1;
    bio.ot_eof = current_start() + bio.ot_bsize;
    bio.ot_ptr = bio.ot_eof;
    if (current_stat() != 1) {
      // That block already went to the target: bring it back.
      const long back = -static_cast<long>(bio.ot_bsize);
      if (KIVlseek(bio.ot_f, back, 1) < 0 || KIVread(bio.ot_f, current_start(), bio.ot_bsize) != bio.ot_bsize ||
          KIVlseek(bio.ot_f, back, 1) < 0) {
        reset_target_side();
        return end_of_input;
      }
      bio.ot_reread = 1;
    }
    current_stat() = 0;
  }
  --bio.ot_ptr;
  --bio.BCntWritten;
  return *bio.ot_ptr;
}

int qGetc() {
  bool source_end = false;
  const int c = bio.ungetcnt > 0 && bio.ungetbuf != nullptr ? pop_pushed_back() : window_getc(source_end);
  refresh_fast_read();
  return c;
}

int qPutc(int c) {
  const int saved = bio.RedirectOutputFlag;
  bio.RedirectOutputFlag = 0;
  b_putc_slow(c);
  bio.RedirectOutputFlag = saved;
  return 0;
}

int b_read(int, unsigned char *buf, int n) {
  int count = 0;
  while (count < n) {
    const int c = b_getc();
    if (c == end_of_input) break;
    buf[count++] = static_cast<unsigned char>(c);
  }
  return count;
}

int b_write(int, const unsigned char *buf, int n) {
  if (n > 0) b_putn(buf, n);
  return n;
}

long b_pos() { return bio.in_pos; }
long BytesRead() { return bio.BCntRead; }
long BytesWritten() { return bio.BCntWritten; }

int RedirectOutput(ByteSink put, ByteUnput unput) {
  FlushRedirectedOutput();
  bio.RedirectPutFunc = put;
  bio.RedirectUnputFunc = unput;
  bio.RedirectPutnFunc = nullptr;
  bio.gather_ptr = bio.gather_end = nullptr;
  bio.RedirectOutputFlag = 1;
  return 0;
}

int RedirectOutputRuns(ByteRunSink putn) {
  FlushRedirectedOutput();
  bio.RedirectPutnFunc = putn;
  bio.gather_ptr = bio.gathered.data();
  bio.gather_end = bio.gathered.data() + bio.gathered.size();
  return 0;
}

int FlushRedirectedOutput() {
  BufferedIoState &s = bio;
  if (s.gather_ptr == nullptr || s.gather_ptr == s.gathered.data()) return 0;
  s.RedirectPutnFunc(s.gathered.data(), s.gather_ptr - s.gathered.data());
  s.gather_ptr = s.gathered.data();
  return 0;
}

int DropRedirectedOutput() {
  if (bio.gather_ptr != nullptr) bio.gather_ptr = bio.gathered.data();
  return 0;
}

int RedirectOutputClose() {
  FlushRedirectedOutput();
  bio.RedirectPutnFunc = nullptr;
  bio.gather_ptr = bio.gather_end = nullptr;
  bio.RedirectOutputFlag = 0;
  return 0;
}

int RedirectInput(ByteSource get) {
  bio.in_fast_end = nullptr;
  bio.RedirectGetFunc = get;
  bio.RedirectInputFlag = 1;
  return 0;
}

int RedirectGetUnget(ByteSource get, ByteSink unget) {
  bio.in_fast_end = nullptr;
  bio.RedirectGetFunc = get;
  bio.RedirectUngetFunc = unget;
  bio.RedirectInputFlag = 2;
  return 0;
}

int RedirectInputClose() {
  bio.RedirectInputFlag = 0;
  return 0;
}

int CopyGetUnget(ByteSink get, ByteSink unget) {
  bio.in_fast_end = nullptr;
  bio.CopyGetFunc = get;
  bio.CopyUnGetFunc = unget;
  bio.CopyGetFlag = 1;
  return 0;
}

int CopyGetUngetClose() {
  bio.CopyGetFlag = 0;
  return 0;
}

int RewindSourceFile() {
  bio.in_pos = 0;
  drop_pushed_back();
  bio.in_eofst = 0;
  if (bio.in_f == -1 || bio.in_bufr == nullptr) return 0;
  if (KIVlseek(bio.in_f, 0, 0) < 0 || read_window() < 0) return exit_read_failed;
  bio.in_pos += bio.in_bsize;
  return 0;
}

int SetBGetPosition(long offset, int clear) {
  bio.in_eofst = 0;
  if (bio.in_f != -1 && bio.in_bufr != nullptr) {
    if (KIVlseek(bio.in_f, offset, 0) < 0 || read_window() < 0) err_exit(exit_read_failed);
    bio.in_pos += bio.in_bsize;
  }
  if (clear == 1) drop_pushed_back();
  return 0;
}

int SetMaxComBufferSize(int n) {
  bio.MaxSize = n;
  bio.ViewModeActive = 1;
  return 0;
}

int WriteMainBuffer(int h, const unsigned char *buf, int n) {
  // A short write is continued: nothing of the block may be lost.
  int done = 0;
  while (done < n) {
    const int written = KIVwrite(h, buf + done, n - done);
    if (written < 0) err_exit(exit_write_failed);
    if (written == 0) err_exit(exit_disk_full);
    done += written;
  }
  return done;
}

}  // namespace kiv
