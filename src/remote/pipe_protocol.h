// File operations carried out by a controlling process over two pipes: each
// operation sends a fixed-layout request record down the request pipe and reads
// its reply records from the reply pipe. Owns the two record buffers, the serial
// number and the status of the last reply.
#pragma once

#include <cstdint>

namespace kiv {

// Offsets and values of the record head; numbers are 32-bit, most significant byte first.
inline constexpr int record_head_length = 16;
inline constexpr int request_length = 256;  // every request but WRITE_FILE, and the first read of a reply
inline constexpr int write_overhead = 264;   // head, handle, count and 240 unused bytes
inline constexpr std::uint32_t record_signature = 0x18436572;
inline constexpr std::uint32_t reply_bit = 0x80000000;

enum PipeCommand : std::int32_t {
  pipe_quit = 0,
  pipe_print = 1,
  pipe_open_file = 2,
  pipe_read_file = 3,
  pipe_write_file = 4,
  pipe_seek_file = 5,
  pipe_close_file = 6,
  pipe_get_file_size = 7,
  pipe_rename = 8,
  pipe_unlink = 9,
  pipe_check_exist = 10,
  pipe_end_of_file = 11,
};

// Longest names with their NUL: an OPEN_FILE name, the two RENAME names together, any other name.
inline constexpr int open_name_limit = 232;
inline constexpr int name_limit = 240;

// Record lengths: a BP= length too short to carry a request and one data byte
// (the default 0 among them) gives 4096-byte records; lengths above the most
// that is worth allocating are cut to it.
inline constexpr int fallback_record_length = 4096;
inline constexpr int min_record_length = write_overhead + 1;
inline constexpr int max_record_length = 1 << 20;

struct PipeState {
  unsigned char *in_pipe_buffer = nullptr;   // incoming record buffer
  unsigned char *out_pipe_buffer = nullptr;  // outgoing record buffer
  unsigned char *in_rec = nullptr;
  unsigned char *out_rec = nullptr;
  int record_length = 0;       // usable length of each buffer (the largest record)
  int reply_length = 0;        // bytes of the last reply that are in in_rec
  std::uint32_t pipe_serial_no = 0;
  std::int32_t error_code = 0;  // status word of the last reply that carried one
  // The handle whose last read ended with END_OF_FILE, or -1: its next read
  // returns 0 without asking, until a seek, write, close or open touches it.
  int handle_at_end = -1;
  // Whether the host ignored SIGPIPE when the buffers were made: its requests
  // are then written without turning the signal off and on around each.
  bool host_ignores_sigpipe = false;
};
extern PipeState pipes;

// Drops the record buffers without freeing them (after KIVFreeAll).
void reset_pipe_protocol();

// Allocates the two record buffers (BP= length + 4 bytes each) and starts the
// serial number at 0; ends the conversion with 8 when not even a 4096-byte
// buffer can be had.
void InitIFSPipes();

// The operations have the file layer's shapes and results. The descriptors come
// from the options (in_pipe, out_pipe). A broken request pipe fails the
// operation with -1; SIGPIPE is ignored while a request is written.
int PIOopen(const char *name, int mode, int kind);
int PIOread(int h, void *buf, int n);
int PIOwrite(int h, const void *buf, int n);
long PIOlseek(int h, long offset, int whence);
int PIOclose(int h);
int PIOunlink(const char *name);
int PIOrename(const char *old_name, const char *new_name);
long PIOGetSize(const char *name);
int PIOCheckExist(const char *name);

// Reads one reply record from fd into buffer (at most the record length): 0
// when its signature is right, else -1. size is the length of the first read.
int ReadRecord(int fd, unsigned char *buffer, int size);
// Prints the trace of one record on the standard output.
void PrintRecord(const unsigned char *record);

}  // namespace kiv
