// The conversion's lifecycle: resets, releases and the exit frame.
#include "runtime/lifecycle.h"

#include <new>

#include "html/attributes_fonts.h"
#include "html/dispatch.h"
#include "html/images_objects.h"
#include "html/links_comments.h"
#include "html/notes_headers.h"
#include "html/output.h"
#include "html/output_redirect.h"
#include "html/tables.h"
#include "html/writer.h"
#include "objects/graphic_converters.h"
#include "objects/ole_objects.h"
#include "objects/picture_files.h"
#include "objects/stream_pictures.h"
#include "objects/width_tables.h"
#include "remote/pipe_protocol.h"
#include "runtime/config_files.h"
#include "runtime/error_exit.h"
#include "runtime/exception_list.h"
#include "runtime/file_layer.h"
#include "runtime/memory.h"
#include "runtime/options.h"
#include "runtime/progress.h"
#include "runtime/shutdown.h"
#include "stream/buffered_io.h"
#include "stream/code_numbers.h"
#include "stream/temp_buffers.h"

namespace kiv {

namespace {

// Closes and removes what a conversion that got going holds: the output is
// flushed before anything it may still need goes. The code of a failure met
// while flushing, or 0.
int release_conversion(fmt_info *rec) {
  const int failure = close_conversion_files(rec);
  if (settings.optflags & opt_exception_list) exclose();
  remove_input_file(settings.icfname);
  reset_output_redirect();
  bufcloseall();
  reset_output();
  free_record(rec);
  return failure;
}

int end_conversion(int code) {
  if (fmt_info *rec = writer.record) {
    const int failure = release_conversion(rec);
    if (code == 0) code = failure;
  }
  if (code == 0) code = errors.w_err;
  // What was written may lack a part that had no memory, whatever else happened.
  if (memory.request_refused) code = exit_no_memory;
  errors.return_val = code;
  return code;
}

}  // namespace

void reset_conversion_state() {
  memory.request_refused = false;
  reset_output_redirect();
  reset_output();
  bufcloseall();
  reset_options();
  reset_config_files();
  reset_writer();
  reset_file_layer();
  reset_buffered_io();
  reset_progress();
  reset_error_exit();
  reset_exception_list();
  reset_code_numbers();
  reset_notes_headers();
  reset_attributes_fonts();
  reset_dispatch();
  reset_tables();
  reset_links_comments();
  reset_images_objects();
  reset_stream_pictures();
  reset_picture_files();
  reset_graphic_converters();
  reset_ole_objects();
  release_width_tables();
}

ConversionEnd run_conversion(int count, char **arguments) {
  reset_conversion_state();
  const GraphicSettingsSnapshot host_settings = save_graphic_settings();
  bool exited = true;
  const int code = run_with_exit_point([&] {
    int result;
    try {
      result = run_converter(count, arguments);
      exited = false;
      return result;
    } catch (const ExitRequest &request) {
      result = request.code;
    } catch (const std::bad_alloc &) {
      result = exit_no_memory;
    } catch (...) {
      // Nothing else is thrown on purpose; whatever it was, the run is over.
      result = exit_fatal;
    }
    return end_conversion(result);
  });
  restore_graphic_settings(host_settings);
  return {code, exited};
}

}  // namespace kiv

extern "C" ICF2HTML_API int GlobalShutDown(void) {
  using namespace kiv;
  LocalShutDown();
  bufcloseall();
  release_shutdown_strings();
  return 0;
}

extern "C" ICF2HTML_API void KIVFreeAll(void) {
  using namespace kiv;
  release_all_blocks();
  // Every pointer of the library into the released memory is dropped, so that
  // later calls find empty lists and tables.
  reset_shutdown();
  reset_options();
  forget_purgeable_names();
  reset_temp_buffers();
  reset_buffered_io();
  reset_pipe_protocol();
  forget_width_tables();
}
