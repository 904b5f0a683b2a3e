// The stream-level test fixture.
#include "support/stream_fixture.h"

#include <icf2html.h>

#include "html/writer.h"
#include "runtime/file_layer.h"
#include "runtime/error_exit.h"
#include "runtime/lifecycle.h"
#include "runtime/options.h"
#include "runtime/strings.h"
#include "stream/buffered_io.h"
#include "stream/temp_buffers.h"

namespace test_support {

void StreamFixture::SetUp() {
  kiv::reset_conversion_state();
  // Spill files go beside the intermediate file: into this test's directory.
  kiv::copy_bounded(kiv::settings.icfname, sizeof kiv::settings.icfname, dir.file("vtx99int.tmp"));
  kiv::settings.optflags = kiv::opt_no_progress;
  ++kiv::errors.exit_frames;
}

void StreamFixture::TearDown() {
  kiv::b_close();
  kiv::bufcloseall();
  if (in_handle != -1) kiv::KIVclose(in_handle);
  if (out_handle != -1) kiv::KIVclose(out_handle);
  RemovePurgeableFiles();
  kiv::set_buffer_size_limit(-1);
  --kiv::errors.exit_frames;
  kiv::reset_conversion_state();
  // As a host ends its session: the temporary file list and every block go,
  // so no record of this test reaches the next one's shutdown calls.
  RemoveTempFiles();
  KIVFreeAll();
}

void StreamFixture::open_streams(const std::string &source, int buffer_limit) {
  const std::string source_name = dir.file("source.bin");
  write_file(source_name, source);
  target_name = dir.file("target.bin");
  in_handle = kiv::KIVopen(source_name.c_str(), kiv::open_read, 1);
  out_handle = kiv::KIVopen(target_name.c_str(), kiv::open_create, 2);
  ASSERT_NE(in_handle, -1);
  ASSERT_NE(out_handle, -1);
  kiv::set_buffer_size_limit(buffer_limit);
  kiv::bio.MaxSize = buffer_limit;
  ASSERT_EQ(kiv::b_open(in_handle, out_handle, 4096), 0);
}

std::string StreamFixture::close_streams() {
  kiv::b_close();
  for (int *handle : {&in_handle, &out_handle}) {
    if (*handle != -1) kiv::KIVclose(*handle);
    *handle = -1;
  }
  return read_file(target_name);
}

std::string StreamFixture::read_rest() {
  std::string bytes;
  for (int c = kiv::b_getc(); c != -1; c = kiv::b_getc()) bytes += static_cast<char>(c);
  return bytes;
}

}  // namespace test_support
