#pragma once
// The run of a fib job from its TOML file.

#include <string>

#include "api/run_job.hpp"
#include "files/folder.hpp"

namespace tbx {

/// Reads and checks "<base>.toml" in `folder`, simulates every time point and
/// writes the summary files and the report. Errors end the run through the
/// fatal path; a design life outside the series throws UsageError before
/// anything is simulated.
void run_fib_job(const Folder& folder, const std::string& base, const RunOptions& options);

}  // namespace tbx
