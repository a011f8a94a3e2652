#pragma once
// The run of a fib job from its TOML file.

#include <string>

#include "files/folder.hpp"
#include "job/run_job.hpp"

namespace tbx {

/// The file names of the job `base`.
std::string fib_job_file_name(const std::string& base);
std::string fib_report_name(const std::string& base);

/// The text of the job file `name` in the folder `folder_fd`; a file that
/// cannot be read, or is larger than any job file, ends the run.
std::string read_fib_job_text(int folder_fd, const std::string& name);

/// Reads and checks "<base>.toml" in `folder`, simulates every time point and
/// writes the summary files and the report. Errors end the run through the
/// fatal path; a design life outside the series throws UsageError before
/// anything is simulated.
void run_fib_job(const Folder& folder, const std::string& base, const RunOptions& options);

}  // namespace tbx
