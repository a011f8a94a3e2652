// Feeds arbitrary bytes through the job-file reader and validation, through
// the job checker, and to the job-name prompt as console input. A job that passes
// validation is then run, cut down to a few simulations and time points so
// that every execution stays fast, with both reports written to memory.
//
// A refusal is an ordinary outcome: the fatal path is an exception, caught
// here. What counts as a finding is a crash, a sanitizer report, a hang, a
// leak, or an outcome that breaks what the rest of the program relies on:
// a refusal without the error layout, or an accepted job whose values the
// reader could not have produced.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "check/check_job.hpp"
#include "core/fatal.hpp"
#include "engine/series_results.hpp"
#include "engine/time_series.hpp"
#include "input/prompt.hpp"
#include "input/reader.hpp"
#include "input/validate.hpp"
#include "model/job_data.hpp"
#include "report/text_sink.hpp"
#include "report/write_reports.hpp"

namespace {

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "job_file_fuzzer: broken invariant: %s\n", what);
    std::abort();
  }
}

// Every report on standard error opens with an empty line and "ERROR:" and
// closes with an empty line.
void check_report(const tbx::FatalError& error) {
  const std::string& r = error.report();
  require(r.rfind("\nERROR:\n", 0) == 0, "report does not start with the error heading");
  require(r.size() >= 10 && r.compare(r.size() - 2, 2, "\n\n") == 0,
          "report does not end with an empty line");
}

bool all_printable(const std::string& text) {
  for (const char c : text) {
    if (!tbx::is_printable(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Enough to reach every branch of a run; more would only slow the fuzzer.
// The profile fit is left out for the same reason: its grid search over
// thousands of trial pairs would cut the executions per second twentyfold,
// and its loops are bounded whatever the numbers that validation let through.
constexpr std::int32_t MAX_NSIM = 64;
constexpr std::int32_t MAX_INTERVALS = 8;

void run_cut_down(tbx::JobData& job, std::FILE* sink) {
  if (job.nsim > MAX_NSIM) job.nsim = MAX_NSIM;
  if (job.n_intervals > MAX_INTERVALS) job.n_intervals = MAX_INTERVALS;
  tbx::RealMatrix predicted_profile;
  tbx::alloc_matrix(predicted_profile, 2, tbx::N_PROFILE);
  tbx::SeriesResults results;
  tbx::run_time_series(job, results, sink, 1);
  tbx::TextSink rs;
  tbx::write_results_report(rs, "job", job, results, predicted_profile, 1);
  tbx::TextSink xls;
  tbx::write_spreadsheet(xls, job, results, predicted_profile);
  require(!rs.text().empty() && !xls.text().empty(), "empty report");
}

/// Whether the run refused the job (reader or validation).
bool run_job_file(const std::uint8_t* data, std::size_t size, std::FILE* sink) {
  // fmemopen reads the buffer and never writes it in "r" mode.
  std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
  require(in != nullptr, "fmemopen failed");
  tbx::JobData job;
  tbx::alloc_job_arrays(job);
  int line_no = 1;
  bool validated = false;
  try {
    tbx::read_job(in, line_no, job);
    require(job.project_name.size() < 1000, "project name beyond its capacity");
    require(all_printable(job.project_name), "unprintable character in the project name");
    require(line_no >= 1, "line counter below 1");
    tbx::validate_job(job, sink);
    validated = true;
    require(job.n_intervals >= 1, "validation passed n_intervals below 1");
    require(job.nsim >= 0, "validation passed a negative nsim");
    run_cut_down(job, sink);
  } catch (const tbx::FatalError& error) {
    check_report(error);
  }
  std::fclose(in);
  return !validated;
}

// The checker never stops on a fault: it reports it. Whatever the bytes, it
// returns findings that each say what is wrong, and an error wherever the
// run would refuse the job.
void check_job_file(const std::uint8_t* data, std::size_t size, bool run_refuses) {
  std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
  require(in != nullptr, "fmemopen failed");
  const tbx::CheckResult result = tbx::check_job_stream(in);
  for (const tbx::Finding& f : result.findings) require(!f.problem.empty(), "finding without a problem");
  require(!run_refuses || tbx::check_exit_status(result) == 1, "the run refuses a job the checker passes");
  require(!tbx::format_check("job.dat", result).empty(), "empty check output");
  std::fclose(in);
}

void answer_prompt(const std::uint8_t* data, std::size_t size, std::FILE* sink) {
  std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
  require(in != nullptr, "fmemopen failed");
  std::string name;
  try {
    tbx::prompt_job_name(name, in, sink);
    require(tbx::job_name_acceptable(name), "prompt returned an unacceptable name");
    require(name.size() < tbx::CONSOLE_LINE_CAPACITY, "prompt answer beyond its capacity");
  } catch (const tbx::FatalError& error) {
    check_report(error);
  }
  std::fclose(in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The prompt and validation's one console line go nowhere.
  static std::FILE* const sink = std::fopen("/dev/null", "w");
  require(sink != nullptr, "cannot open /dev/null");
  const bool refused = run_job_file(data, size, sink);
  check_job_file(data, size, refused);
  answer_prompt(data, size, sink);
  return 0;
}
