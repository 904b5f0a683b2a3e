// File operations carried out by a controlling process over two pipes. Until
// the protocol itself is in place every operation fails with -1; the record
// buffers are already set up here.
#pragma once

namespace kiv {

struct PipeState {
  unsigned char *in_pipe_buffer = nullptr;  // incoming record buffer
  unsigned char *out_pipe_buffer = nullptr;  // outgoing record buffer
  unsigned char *in_rec = nullptr;
  unsigned char *out_rec = nullptr;
};
extern PipeState pipes;

// Drops the record buffers without freeing them (after KIVFreeAll).
void reset_pipe_protocol();

// Allocates the two record buffers (BP= length + 4 bytes each); ends the
// conversion with 8 when not even a 4096-byte buffer can be had.
void InitIFSPipes();

int PIOopen(const char *name, int mode, int kind);
int PIOread(int h, void *buf, int n);
int PIOwrite(int h, const void *buf, int n);
long PIOlseek(int h, long offset, int whence);
int PIOclose(int h);
int PIOunlink(const char *name);
int PIOrename(const char *old_name, const char *new_name);
long PIOGetSize(const char *name);
int PIOCheckExist(const char *name);

}  // namespace kiv
