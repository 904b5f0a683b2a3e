#include "batch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "batch_plan.h"
#include "batch_report.h"
#include "batch_workers.h"
#include "descriptor_io.h"
#include "file_service.h"
#include "input_copy.h"
#include "isolation_controller.h"
#include "messages.h"

namespace icf2html {
namespace {

struct BatchLimits {
  double seconds = default_timeout_seconds;  // wall clock per document; 0 for none
  long megabytes = default_memory_mib;       // address space per conversion; 0 for none
};

struct BatchOptions {
  std::string outdir;
  int jobs = 0;  // 0: one per core
  BatchLimits limits;
  bool timeout_given = false, memory_given = false;
  std::string report;  // default OUTDIR/report.jsonl
  bool resume = false;
  bool plan_only = false;
  bool one_document = false;  // --batch-document INPUT PAGE
  bool worker = false;        // --batch-worker: documents named on standard input
  std::string dask;           // the scheduler's address, for the Python package
  std::vector<std::string> inputs;
};

struct BatchState {
  std::string program;  // argv[0]: reader programs are looked up beside it
  std::unique_ptr<BatchPlanner> planner;  // none for --batch-document
  std::vector<PlannedDocument> documents;  // planned so far
  std::size_t handed = 0;                  // of documents, those handed to the workers or reported skipped
  BatchLimits limits;
  int report_fd = -1;  // -1: rows go to standard output
  std::size_t total = 0, done = 0, failures = 0;
  bool show_progress = false;
  std::chrono::steady_clock::time_point started;
};
BatchState batch;

volatile std::sig_atomic_t interrupted = 0;
void on_interrupt(int) { interrupted = 1; }

void batch_usage(std::FILE *to) {
  std::fprintf(to,
               "usage: icf2html --batch OUTDIR [--jobs N] [--report FILE] [--timeout S] [--memory MB]\n"
               "                [--resume] [--dask ADDRESS] INPUT...\n"
               "       icf2html --batch-document [--timeout S] [--memory MB] INPUT PAGE\n"
               "       icf2html --batch-worker [--timeout S] [--memory MB] < INPUT-AND-PAGE-PAIRS\n"
               "Converts every document in the INPUT files and folders into OUTDIR. Defaults: one worker\n"
               "per core, report OUTDIR/report.jsonl, %g seconds and %ld MiB per document.\n",
               static_cast<double>(default_timeout_seconds), default_memory_mib);
}

bool positive_number(const char *text, double &value) {
  char *end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(value) && value > 0;
}

bool parse(int argc, char **argv, BatchOptions &options) {
  bool only_files = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    double number = 0;
    if (only_files || arg.empty() || arg[0] != '-' || arg == "-") {
      options.inputs.emplace_back(arg);
    } else if (arg == "--") {
      only_files = true;
    } else if (arg == "--batch" && has_value) {
      options.outdir = argv[++i];
    } else if (arg == "--batch-document") {
      options.one_document = true;
    } else if (arg == "--batch-worker") {
      options.worker = true;
    } else if (arg == "--jobs" && has_value && positive_number(argv[i + 1], number) && number <= 1024) {
      options.jobs = static_cast<int>(number);
      ++i;
    } else if (arg == "--timeout" && has_value && positive_number(argv[i + 1], number)) {
      options.limits.seconds = number;
      options.timeout_given = true;
      ++i;
    } else if (arg == "--memory" && has_value && positive_number(argv[i + 1], number) && number < LONG_MAX >> 20) {
      options.limits.megabytes = static_cast<long>(number);
      options.memory_given = true;
      ++i;
    } else if (arg == "--report" && has_value) {
      options.report = argv[++i];
    } else if (arg == "--dask" && has_value) {
      options.dask = argv[++i];
    } else if (arg == "--resume") {
      options.resume = true;
    } else if (arg == "--plan") {
      options.plan_only = true;
    } else {
      std::fprintf(stderr, "icf2html: %.*s: unknown option or missing value\n", static_cast<int>(arg.size()),
                   arg.data());
      return false;
    }
  }
  if (options.worker) return options.inputs.empty();
  if (options.one_document) return options.inputs.size() == 2;
  if (options.outdir.empty() || options.inputs.empty()) return false;
  if (options.report.empty()) options.report = options.outdir + "/report.jsonl";
  return true;
}

void make_folders(const std::string &path) {
  // Pages come in walk order: most share the folder of the one before.
  static std::string made;
  const std::string folder = directory_of(path);
  if (!folder.empty() && folder == made) return;
  made = folder;
  for (auto slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    mkdir(path.substr(0, slash).c_str(), 0777);
}

// Whether name is the private folder of the worker's isolation controller, or
// of any worker's for -1 (when every worker has ended).
bool is_private_folder_of(std::string_view name, pid_t worker) {
  if (worker != -1) {
    const std::string prefix = private_folder_prefix(worker);
    return name.size() == prefix.size() + 6 && name.starts_with(prefix);
  }
  constexpr std::string_view start = ".icf2html-";
  if (!name.starts_with(start)) return false;
  const std::size_t digits = name.find_first_not_of("0123456789", start.size());
  return digits != start.size() && digits != std::string_view::npos && name[digits] == '-' &&
         name.size() == digits + 7;
}

// What a killed worker's conversions left beside the pages: its isolation
// controller's private folders, what is in them, and the picture names they
// claimed beside the pages. A worker keeps its private folder from one page
// to the next in the same folder, so it may have one in the folder of the
// page before the one it was converting: every folder of the batch's pages
// is looked at.
void remove_leftovers(pid_t worker) {
  std::set<std::string> folders;
  for (const PlannedDocument &document : batch.documents)
    if (!document.page.empty()) folders.insert(directory_of(document.page).empty() ? "./" : directory_of(document.page));
  for (const std::string &folder : folders) {
    DIR *dir = opendir(folder.c_str());
    if (!dir) continue;
    while (const dirent *entry = readdir(dir)) {
      const std::string_view name = entry->d_name;
      if (!is_private_folder_of(name, worker)) continue;
      remove_claims_recorded_in(folder + std::string(name));
      std::filesystem::remove_all(folder + std::string(name));
    }
    closedir(dir);
  }
}

// The worker's controller: its converter child lives from one document to the next.
std::unique_ptr<IsolatedConverter> worker_converter;

// Ends the worker's converter child, which is collected here.
void end_worker() { worker_converter.reset(); }

// A planned document as the message its worker gets: the input and the page,
// each ended by a NUL byte, then whether it is a stream.
std::string job_message(const PlannedDocument &document) {
  return document.input + '\0' + document.page + '\0' + (document.stream ? '1' : '0');
}

// Runs in a worker: the document's isolated conversion, as icf2html --isolate
// runs it, to the page's path.
WorkerAnswer convert_document(const PlannedDocument &document) {
  if (!worker_converter) worker_converter = std::make_unique<IsolatedConverter>();
  IsolatedConverter &converter = *worker_converter;
  IsolatedConversion conversion;
  conversion.program = batch.program;
  conversion.input = document.input;
  conversion.known_stream = document.stream;
  conversion.output = document.page;
  conversion.words = {"UNTRUSTED"};  // the page icf2html DOCUMENT PAGE writes: safe for unchecked documents
  conversion.timeout_seconds = batch.limits.seconds;
  conversion.memory_mib = batch.limits.megabytes;
  const IsolationResult result = converter.convert(conversion);
  WorkerAnswer answer{result.code, result.signal, static_cast<std::int32_t>(result.pictures.size()), 1};
  switch (result.cause) {
    case IsolationCause::none: answer.code = result.warning ? result.code : 0; break;
    case IsolationCause::conversion_failed: break;
    case IsolationCause::time_limit: answer.code = code_time_limit; break;
    case IsolationCause::memory_limit: answer.code = code_memory_limit; break;
    case IsolationCause::crashed: answer.code = code_crashed; break;
    case IsolationCause::refused_file: answer.code = code_refused_file; break;
    case IsolationCause::input_unreadable:
    case IsolationCause::document_unreadable: answer.code = code_unreadable; break;
    case IsolationCause::setup_failed: answer.code = code_no_isolation; break;
  }
  if (result.cause != IsolationCause::none) answer.converted = 0;
  return answer;
}

WorkerAnswer convert_job(const std::string &message) {
  const std::size_t input_end = message.find('\0');
  const std::size_t page_end = message.find('\0', input_end + 1);
  PlannedDocument document;
  document.input = message.substr(0, input_end);
  document.page = message.substr(input_end + 1, page_end - input_end - 1);
  document.stream = message.ends_with('1');
  return convert_document(document);
}

std::string meaning_of(const WorkerAnswer &answer) {
  char words[160];
  if (answer.converted) return answer.code == 0 ? "converted" : "converted with a warning: the input ended inside a code";
  switch (answer.code) {
    case code_time_limit:
      std::snprintf(words, sizeof words, "stopped at the time limit of %g seconds", batch.limits.seconds);
      return words;
    case code_memory_limit:
      std::snprintf(words, sizeof words, "stopped at the memory limit of %ld MiB", batch.limits.megabytes);
      return words;
    case code_crashed:
      return answer.signal > 0 && answer.signal < NSIG ? std::string("crashed: ") + strsignal(answer.signal)
                                                       : "crashed";
    case code_refused_file: return "the conversion asked for a file that is not its own";
    case code_unreadable: return "the file cannot be read";
    case code_no_isolation: return "no private folder, channel or process could be made for the conversion";
    default: return cause_of(answer.code).text;
  }
}

ReportRow row_of(const JobOutcome &outcome) {
  const PlannedDocument &document = batch.documents[outcome.job];
  if (outcome.worker_died) {
    remove_leftovers(outcome.worker);
    return {document.input, "", code_crashed, "the worker ended without an answer", outcome.answer.seconds, 0};
  }
  ReportRow row{document.input, "", outcome.answer.code, meaning_of(outcome.answer), outcome.answer.seconds,
                outcome.answer.pictures};
  if (outcome.answer.converted) row.output = document.page;
  return row;
}

void draw_progress() {
  if (!batch.show_progress) return;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - batch.started).count();
  const double rate = batch.done / std::max(elapsed, 1e-9);
  const double left = rate > 0 ? (batch.total - batch.done) / rate : 0;
  constexpr int width = 30;
  const int filled = batch.total ? static_cast<int>(width * batch.done / batch.total) : width;
  std::fprintf(stderr, "\r[%.*s%.*s] %zu/%zu, %zu failed, %.1f/s, %.0f s left ", filled,
               "##############################", width - filled, "..............................", batch.done,
               batch.total, batch.failures, rate, left);
  if (batch.done == batch.total) std::fputc('\n', stderr);
}

void record(const ReportRow &row) {
  const std::string line = json_line(row);
  // One write per line, so that an interrupted batch leaves whole lines.
  if (write(batch.report_fd == -1 ? STDOUT_FILENO : batch.report_fd, line.data(), line.size()) < 0)
    std::perror("icf2html: the report");
  ++batch.done;
  if (failed(row)) ++batch.failures;
  draw_progress();
}

void on_outcome(const JobOutcome &outcome, void *) { record(row_of(outcome)); }

// The batch's next document to convert, planned now; a skipped file on the
// way gets its report line.
bool next_job(std::size_t &job, std::string &message, void *) {
  for (;;) {
    if (batch.planner) {
      PlannedDocument document;
      if (!batch.planner->next(document)) return false;
      batch.documents.push_back(std::move(document));
    } else if (batch.handed == batch.documents.size()) {
      return false;
    }
    const PlannedDocument &document = batch.documents[batch.handed++];
    if (document.page.empty()) {
      record(skipped_row(document));
      continue;
    }
    make_folders(document.page);
    job = batch.handed - 1;
    message = job_message(document);
    return true;
  }
}

std::string planned_line(const PlannedDocument &document) {
  if (document.page.empty()) return json_line(skipped_row(document));
  ReportRow row{document.input, document.page, 0, "", 0, 0};
  std::string line = json_line(row);
  return line.substr(0, line.find(", \"code\"")) + "}\n";
}

// Hands the batch to the Python package (python3 -m icf2html, or the
// interpreter named by ICF2HTML_PYTHON), telling it where this program is.
int run_on_dask(const BatchOptions &options, char **argv) {
  std::vector<std::string> arguments{"-m", "icf2html", "--batch", options.outdir, "--dask", options.dask,
                                     "--report", options.report};
  if (options.timeout_given) arguments.insert(arguments.end(), {"--timeout", std::to_string(options.limits.seconds)});
  if (options.memory_given) arguments.insert(arguments.end(), {"--memory", std::to_string(options.limits.megabytes)});
  if (options.resume) arguments.emplace_back("--resume");
  arguments.emplace_back("--");
  arguments.insert(arguments.end(), options.inputs.begin(), options.inputs.end());
  const char *python = std::getenv("ICF2HTML_PYTHON");
  if (!python || !*python) python = "python3";
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) {
    self[length] = '\0';
    setenv("ICF2HTML_PROGRAM", self, 1);
  }
  std::vector<char *> vector{const_cast<char *>(python)};
  for (std::string &argument : arguments) vector.push_back(argument.data());
  vector.push_back(nullptr);
  execvp(python, vector.data());
  std::fprintf(stderr, "icf2html: %s: %s (the Dask route needs the icf2html Python package)\n", python,
               std::strerror(errno));
  (void)argv;
  return 2;
}

// The next INPUT and PAGE from standard input, each ended by a NUL byte.
bool next_pair(std::FILE *from, std::string &input, std::string &page) {
  const auto next = [from](std::string &text) {
    text.clear();
    for (int c; (c = std::getc(from)) != EOF;) {
      if (c == '\0') return true;
      text.push_back(static_cast<char>(c));
    }
    return false;
  };
  return next(input) && next(page);
}

// --batch-worker: this process is one batch worker for a caller that hands it
// documents one at a time (a Dask worker): each is converted in isolation by
// the converter child kept from one document to the next, and its report line
// is written as soon as it ends.
int serve_documents() {
  signal(SIGPIPE, SIG_IGN);  // a caller that went away ends the loop at the next write
  std::string input, page;
  while (next_pair(stdin, input, page)) {
    batch.documents = {{input, page, 0, ""}};
    make_folders(page);
    const auto started = std::chrono::steady_clock::now();
    WorkerAnswer answer = convert_document(batch.documents[0]);
    answer.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string line = json_line(row_of({0, answer, false}));
    if (!write_all(STDOUT_FILENO, line.data(), line.size())) break;
  }
  end_worker();
  return 0;
}

}  // namespace

bool is_batch_command(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--batch" || arg == "--batch-document" || arg == "--batch-worker") return true;
    if (arg == "--") break;
  }
  return false;
}

int batch_main(int argc, char **argv) {
  BatchOptions options;
  if (!parse(argc, argv, options)) {
    batch_usage(stderr);
    return 2;
  }
  if (!options.dask.empty()) return run_on_dask(options, argv);
  batch.program = argv[0];
  batch.limits = options.limits;
  if (options.worker) return serve_documents();

  const std::set<std::string> settled = options.resume ? settled_inputs(options.report) : std::set<std::string>{};
  if (options.one_document) {
    batch.documents = {{options.inputs[0], options.inputs[1], 0, ""}};
  } else {
    batch.planner = std::make_unique<BatchPlanner>(options.inputs, options.outdir, settled, argv[0]);
  }
  if (options.plan_only) {
    for (PlannedDocument document; batch.planner->next(document);) std::fputs(planned_line(document).c_str(), stdout);
    return 0;
  }

  batch.total = batch.planner ? batch.planner->total() : batch.documents.size();
  batch.started = std::chrono::steady_clock::now();
  if (!options.one_document) {
    make_folders(options.report);
    batch.report_fd = open(options.report.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (options.resume ? O_APPEND : O_TRUNC), 0666);
    if (batch.report_fd == -1) {
      std::fprintf(stderr, "icf2html: %s: %s\n", options.report.c_str(), std::strerror(errno));
      return 2;
    }
    batch.show_progress = isatty(STDERR_FILENO);
  }
  struct sigaction action{};
  action.sa_handler = on_interrupt;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  const int workers = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
  std::vector<std::size_t> abandoned;
  const bool finished =
      run_jobs(next_job, batch.total, workers, convert_job, end_worker, on_outcome, nullptr, interrupted, abandoned);
  // A page whose report line was not written yet goes too: --resume converts it again.
  for (const std::size_t job : abandoned) unlink(batch.documents[job].page.c_str());
  if (!abandoned.empty() || interrupted) remove_leftovers(-1);  // every worker has ended by now
  if (batch.report_fd != -1) close(batch.report_fd);
  if (interrupted) {
    if (batch.show_progress) std::fputc('\n', stderr);
    return 130;
  }
  if (!finished) {
    std::fprintf(stderr, "icf2html: no worker process can be started\n");
    return 1;
  }
  return batch.failures == 0 ? 0 : 1;
}

}  // namespace icf2html
