// Fuzz target: OLE objects in binary form (the first byte even) or as the rest
// of an OLE code (odd). An object that reads is written again, read back and
// must have the same size; its accessors and data are walked.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "objects/ole_objects.h"
#include "runtime/error_exit.h"
#include "runtime/memory.h"
#include "stream/temp_buffers.h"

namespace {

const std::uint8_t *input = nullptr;
std::size_t input_size = 0;
std::size_t position = 0;
int next() { return position < input_size ? input[position++] : -1; }

std::string written;
int keep(int c) {
  written += static_cast<char>(c);
  return c;
}
int ignore(int c) { return c; }

std::size_t replay_at = 0;
int replay() { return replay_at < written.size() ? static_cast<unsigned char>(written[replay_at++]) : -1; }

kiv::KIVOLEObject *read(bool binary, kiv::ByteSource source) {
  if (binary) return kiv::ReadOLE(source);
  kiv::KIVOLEHeader *header = nullptr;
  kiv::KIVOLEObject *o = kiv::ReadOLEICF(&header, source);
  kiv::KIVfree(header);
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1) return 0;
  static const bool framed = [] {
    ++kiv::errors.exit_frames;  // KIVexit throws instead of ending the process
    return true;
  }();
  (void)framed;
  const bool binary = (data[0] & 1) == 0;
  input = data + 1;
  input_size = size - 1;
  position = 0;
  kiv::ole = {};
  try {
    kiv::KIVOLEObject *o = read(binary, next);
    if (o) {
      kiv::GetOLEClassString(o);
      kiv::GetOLEClipboardFormatString(o);
      kiv::GetOLEPresDataWidth(o);
      kiv::GetOLEPresDataHeight(o);
      kiv::GetOLENativeData(o, ignore);
      kiv::GetOLEPresData(o, ignore);
      written.clear();
      if (binary) kiv::WriteOLE(o, keep);
      else {
        kiv::WriteOLEICF(o, nullptr, keep);
        written.erase(0, 5);  // the code's letters: the reader starts after them
      }
      replay_at = 0;
      kiv::KIVOLEObject *again = read(binary, replay);
      if (!again || kiv::SizeofOLE(again) != kiv::SizeofOLE(o)) std::abort();
      kiv::FreeOLE(again);
      kiv::FreeOLE(o);
    }
  } catch (const kiv::ExitRequest &) {
  }
  if (kiv::ole.in_ole != 0) std::abort();
  kiv::bufcloseall();
  return 0;
}
