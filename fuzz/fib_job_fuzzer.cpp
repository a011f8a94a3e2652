// Feeds arbitrary bytes through the fib job-file reader. A job that it
// accepts is then run, cut down to a few simulations and time points so
// that every execution stays fast, through the summary and the report,
// which are built in memory.
//
// A refusal is an ordinary outcome: the fatal path is an exception, caught
// here. What counts as a finding is a crash, a sanitizer report, a hang, a
// leak, a refusal without the error layout or without a message that names
// the file, or an accepted job whose values the reader promises never to
// give.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/fatal.hpp"
#include "engine/time_series.hpp"
#include "input/fib_reader.hpp"
#include "model/fib_model.hpp"
#include "report/fib_report.hpp"
#include "report/summary_files.hpp"
#include "summary/simulation_model.hpp"

namespace {

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fib_job_fuzzer: broken invariant: %s\n", what);
    std::abort();
  }
}

constexpr const char* FILE_NAME = "job.toml";
constexpr std::int64_t MAX_NSIM = 64;
constexpr std::size_t MAX_TIMES = 4;

void check_job(const tbx::FibJob& job) {
  require(job.simulations >= 1, "simulations below 1");
  require(!job.times.empty(), "no time");
  for (std::size_t i = 0; i < job.times.size(); ++i) {
    require(std::isfinite(job.times[i]) && job.times[i] > 0, "a time not positive");
    require(i == 0 || job.times[i] > job.times[i - 1], "times not increasing");
  }
  for (const tbx::FibInput& input : job.inputs) {
    require(tbx::moment_distribution_problem(input.distribution).empty(), "an invalid distribution accepted");
  }
}

void run_cut_down(tbx::FibJob job, std::FILE* sink) {
  job.simulations = std::min(job.simulations, MAX_NSIM);
  if (job.times.size() > MAX_TIMES) job.times.resize(MAX_TIMES);
  tbx::SeriesResults results;
  tbx::allocate_series_results(results, job.simulations, static_cast<std::int64_t>(job.times.size()));
  const auto simulations =
      tbx::keep_simulations(tbx::FibModel(job), job.simulations, job.seed, results, sink, 1);
  tbx::run_series(job.times, job.simulations,
                  [&](double t, const tbx::RowStages& stages) { simulations->run(t, stages); }, results, sink);
  tbx::SummaryOptions options;
  options.target_beta = job.target_beta;
  const tbx::Summary summary = tbx::summarize(*simulations, results, options);
  require(!tbx::fib_report(job, FILE_NAME, summary).empty(), "empty report");
  require(!tbx::summary_json(summary).empty(), "empty summary");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::FILE* const sink = std::fopen("/dev/null", "w");
  require(sink != nullptr, "cannot open /dev/null");
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const tbx::FibJob job = tbx::read_fib_job(text, FILE_NAME);
    check_job(job);
    run_cut_down(job, sink);
  } catch (const tbx::FatalError& error) {
    const std::string& r = error.report();
    require(r.rfind("\nERROR:\n", 0) == 0, "report does not start with the error heading");
    require(error.message().rfind(FILE_NAME, 0) == 0, "message does not name the file");
  }
  return 0;
}
