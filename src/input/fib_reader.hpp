#pragma once
// The reader of fib jobs: JOB.toml into a FibJob, with every mistake named
// by file, line and field.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "model/fib_job.hpp"

namespace tbx {

/// Reads a job from the TOML text of the file `file_name` (used in
/// messages). The first mistake ends the run through fatal_error with one
/// message that names the file, the line, the field and what was expected.
FibJob read_fib_job(const std::string& text, const std::string& file_name);

/// One mistake of a job file, as the run reports it:
/// "FILE:LINE: FIELD: WHAT".
struct FibJobFault {
  int line = 0;       ///< 0 where no line applies
  std::string field;  ///< "a.sd", "simulations", "TOML syntax"
  std::string what;   ///< "expected a standard deviation >= 0, got -3"
  int variable = -1;  ///< the FibVariable whose table holds the field; -1 for none
  /// The variable's numbers as written, where every key it takes read as a
  /// number: what the checker guesses the intended values from.
  std::optional<MomentDistribution> as_written;
  std::array<int, FIB_KEYS> key_lines{};  ///< of the keys as written; 0 for the others
};

/// A job read as far as it goes: every mistake, each field after a faulty
/// one read on its own.
struct FibJobDraft {
  FibJob job;  ///< the fields that read; defaults for the others
  std::vector<FibJobFault> faults;
  std::array<bool, FIB_VARIABLES> variable_read{};  ///< given or preset, without fault
  /// Whether the top-level field (such as "simulations") has a fault.
  bool faulty(const std::string& field) const;
};

/// Reads the job as read_fib_job does, but collects every mistake instead of
/// ending at the first: each top-level field, each unknown key and each
/// variable is read on its own, and within a variable's table every key.
/// A TOML syntax error is the only finding of its file.
FibJobDraft read_fib_job_draft(const std::string& text, const std::string& file_name);

}  // namespace tbx
