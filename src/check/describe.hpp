#pragma once
// How the checker names a value of the job file and writes it back.

#include <string>

#include "input/job_fields.hpp"
#include "model/job_data.hpp"

namespace tbx {

/// "Dcoef (diffusion coefficient, 1e-12 m2/s), first parameter",
/// "profile depth (cm), point 3", "the ';' after the distribution type row".
std::string describe_field(JobField field, int index);

/// The value as read ("4e-12", "10000"); empty for a ";".
std::string value_text(const JobData& job, JobField field, int index);

}  // namespace tbx
