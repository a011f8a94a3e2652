#pragma once

#include "input/job_data.hpp"

namespace tbx {

/// Checks the values read from the job file against each other; the first
/// broken rule ends the run. Changes nothing.
void validate_job(const JobData& job);

}  // namespace tbx
