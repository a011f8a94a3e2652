#pragma once

#include <optional>
#include <string>

#include "engine/time_series.hpp"
#include "summary/summary.hpp"

namespace tbx {

/// Longest job name that leaves room for the report file names.
inline constexpr std::size_t MAX_JOB_NAME = 991;

/// What the command line adds to a run beyond the job name.
struct RunOptions {
  int threads = 0;  ///< 0: every available CPU
  /// Also write the summary files (the series then runs on the cycle engine
  /// whatever cycles are given).
  bool summary = false;
  /// The target of the summary's service life and design cover, where the
  /// command line gives one (it overrides a job file's own).
  std::optional<double> target_beta;
  /// summary_options.target_beta is the job's default until the run sets it.
  SummaryOptions summary_options;
  /// Flush every file and the folder to disk before the run ends (false: a
  /// study syncs its folder once at the end instead).
  bool sync = true;
  /// Where another run holds the job: end at once (JobBusy) instead of waiting.
  bool no_wait = false;
};

/// Runs the job named `job_name`: reads and checks "<job>.dat", simulates
/// and writes both reports (and, if asked, the summary files); or, where
/// only "<job>.toml" exists, runs that fib job (see run_fib_job.hpp). Errors end the
/// run through the fatal path; a design life outside the series throws
/// UsageError before anything is simulated.
void run_job(const std::string& job_name, const CycleFactory& make_cycle = engine_cycles(),
             const RunOptions& options = {});

}  // namespace tbx
