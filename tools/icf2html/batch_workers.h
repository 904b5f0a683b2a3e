// The batch's worker processes: each runs one isolated conversion at a time
// and is reused for the next. A worker that dies is replaced and its document
// reported; it never stops the batch.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace icf2html {

// A worker's answer for one document.
struct WorkerAnswer {
  std::int32_t code = 0;      // the report code
  std::int32_t signal = 0;    // for a crash, the signal that ended the conversion
  std::int32_t pictures = 0;  // picture files delivered beside the page
  std::int32_t converted = 0; // 1 when the page was written (the code is then 0 or the warning flag)
  double seconds = 0;         // wall clock of the conversion
};

// How one document ended in its worker.
struct JobOutcome {
  std::size_t job = 0;
  WorkerAnswer answer;  // a worker that died gave none
  bool worker_died = false;
  pid_t worker = -1;  // the process that converted it
};

// The next job, in the controlling process: its number (which its outcome
// carries) and the message its worker gets; false when there is none left.
// Asked for only when a worker can take the job, so a source may plan its
// jobs while the workers convert the ones before.
using JobSource = bool (*)(std::size_t &job, std::string &message, void *context);
// Converts a job from its message, in the worker.
using JobFunction = WorkerAnswer (*)(const std::string &message);
// Runs in the worker when its job pipe ends, before it exits.
using WorkerEnd = void (*)();
// Called in the controlling process as each job ends.
using OutcomeFunction = void (*)(const JobOutcome &outcome, void *context);

// Runs every job of `next` on at most `workers` worker processes (no more
// than `most_jobs`), forked from this process, and reports each outcome as it
// ends. Returns false when `interrupted` became non-zero: every worker and the
// conversion it ran have then been killed, and `abandoned` holds their jobs.
bool run_jobs(JobSource next, std::size_t most_jobs, int workers, JobFunction convert, WorkerEnd end,
              OutcomeFunction report, void *context, const volatile std::sig_atomic_t &interrupted,
              std::vector<std::size_t> &abandoned);

}  // namespace icf2html
