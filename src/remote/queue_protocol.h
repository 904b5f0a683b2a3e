// File operations carried out by a controlling process over a System V message
// queue: each operation sends its command as text (type 4) and waits for the
// answer (type 3) on the same queue; the bytes of reads and writes travel in a
// private shared-memory segment made for each transfer and removed after it.
// Owns the one message buffer and the sent length.
#pragma once

#include <cstddef>
#include <cstdio>

namespace kiv {

inline constexpr long queue_request_type = 4;
inline constexpr long queue_answer_type = 3;
inline constexpr int queue_text_length = 1024;

// The platform's message layout: a long type, then the text.
struct QueueMessage {
  long type = 0;
  char text[queue_text_length] = {};
  char end = '\0';  // never received into: a full answer still ends in NUL
};

struct QueueState {
  QueueMessage sndbuf1;
  std::size_t msgsz = 0;  // text length of the message being sent
};
extern QueueState queue;

// The operations have the file layer's shapes and results; the queue is
// IPCMsgQueueID from the options. Every failure gives -1, and the segment made
// for a read or write is removed on every path.
int IPCopen(const char *name, int mode, int kind);
int IPCread(int h, void *buf, int n);
int IPCwrite(int h, const void *buf, int n);
long IPClseek(int h, long offset, int whence);
int IPCclose(int h);
int IPCunlink(const char *name);
int IPCrename(const char *old_name, const char *new_name);
long IPCGetSize(const char *name);
// 0 when the answer begins with "SUCCESS", 1 for any other answer, -1 when the exchange fails.
int IPCCheckExist(const char *name);

// Copies from with its NUL into to; the address just past the NUL.
char *wstrcpy(char *to, const char *from);
// Message tracing hooks; they print nothing.
void PrintMsgText(std::FILE *stream, const QueueMessage *message);
void PrintMsgStat(std::FILE *stream, int queue_id);

}  // namespace kiv
