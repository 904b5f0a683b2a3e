// The converter side of an isolated conversion: a forked child that converts
// through the shared library with every file operation sent to the controller.
// The child lives across conversions: it takes one job at a time from its job
// channel (the library resets its state for every conversion), so a batch
// worker pays for a process only when a child has to be replaced.
#pragma once

#include <string>
#include <vector>

namespace icf2html {

// The child's exit status when it cannot enter a job's folder.
inline constexpr int child_setup_failed = 127;
// Sent on the status channel once a job's shutdown calls are done: the child
// waits for the next job.
inline constexpr unsigned char child_ready = 0xFF;

// What stays the same for every job of one child.
struct ChildSetup {
  long memory_mib = 0;  // address-space limit; 0 for none
  int trace_fd = -1;    // standard output and error (the pipe trace); -1 for /dev/null
  int job_fd = -1;      // jobs from the controller (encode_job); its end ends the child
  int status_fd = -1;   // per job: the exit code as one byte before the shutdown calls, then child_ready
  bool status_records = false;  // status_fd is the pipe route's request pipe: each byte goes as a status record
  std::vector<int> controller_fds;  // the controller's ends of the channels, closed in the child
};

// One conversion.
struct ChildJob {
  std::string private_dir;  // becomes the working folder (graphic converter programs run there); "" keeps it
  std::string target_name;  // the page's name as the user gave it
  std::string intermediate_name;
  std::string levels;
  std::vector<std::string> words;  // the user's option words and the route's words
};

// The job as one message of the job channel.
std::string encode_job(const ChildJob &job);

// Runs jobs in the current (forked) process until the job channel ends. Never returns.
[[noreturn]] void run_child_converter(const ChildSetup &setup);

}  // namespace icf2html
