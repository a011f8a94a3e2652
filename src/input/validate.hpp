#pragma once

#include "core/run_events.hpp"

#include "input/job_data.hpp"

namespace tbx {

/// Checks the values read from the job file against each other; the first
/// broken rule ends the run. Changes nothing.
void validate_job(const JobData& job);
/// As above, with the one line it may print ("tou aqui!") going to `out`.
void validate_job(const JobData& job, Console out);

}  // namespace tbx
