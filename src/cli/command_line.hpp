#pragma once
// The program's command line: options first, then at most one job name.
//
//   tbxrun [options] [--] [jobname]
//
// Without options the program behaves as it always has: no argument asks
// for the job name on the console, one argument is the job name, and two
// job names are the classic usage error (reported by the run, after the
// banner, with exit status 1). Every mistake in the options themselves is
// a UsageError: the entry prints it with a pointer to --help and exits
// with status 2 before anything is run or written.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/usage_error.hpp"

namespace tbx {

/// The most simulations per Sobol sample: each row keeps k + 2 values of G.
inline constexpr std::int64_t MAX_SOBOL_SIMULATIONS = 1000000;

struct CommandLine {
  enum class Action { run, help, version, check };
  Action action = Action::run;
  /// Absent: the job name is asked for on the console.
  std::optional<std::string> job_name;
  /// More than one job name was given (the classic usage error).
  bool extra_job_name = false;
  /// The job names after the first: more jobs to check with --check --json.
  std::vector<std::string> extra_job_names;
  /// With --check: the findings as JSON, one object per job.
  bool json = false;

  bool summary = false;
  /// Absent: the job's own target, 1.3 for a classic job.
  std::optional<double> target_beta;
  /// Absent: the last time point of the series.
  std::optional<double> design_life;
  /// Rows of each sample of the Sobol indices; 0: none (a fib job may ask).
  std::int64_t sobol_simulations = 0;
  /// 0: every CPU the process may run on.
  int threads = 0;
  /// Leave flushing the run's files to disk to the caller.
  bool no_sync = false;
  /// Where another run holds the job, end at once instead of waiting.
  bool no_wait = false;
};

/// Reads argv[1..argc-1]; throws UsageError on an unknown, repeated or
/// malformed option, a missing or invalid value, or an option after the
/// job name.
CommandLine parse_command_line(int argc, const char* const* argv);

/// The one-line synopsis, as printed with every usage error.
extern const char* const USAGE_SYNOPSIS;

/// The text of --help.
std::string help_text();

/// The text of --version.
std::string version_text();

}  // namespace tbx
