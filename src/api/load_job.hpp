#pragma once
// Reading a job into memory.

#include "api/job_file.hpp"
#include "tbxrun/tbxrun.hpp"

namespace tbxrun::internal {

/// Reads the job file found by find_job_file. An error of the file's
/// contents is kept in the job, for a run to raise and a check to report;
/// a file that cannot be read at all ends as an Error.
Job load_job(const JobFile& file);

}  // namespace tbxrun::internal
