#pragma once
// JOB_report.txt of a fib job: the inputs with their units and where each
// came from, the table of the time points, the service life, the design
// cover and the importance of the variables, as a plain text to read.

#include <string>

#include "fib/fib_job.hpp"
#include "summary/summary.hpp"

namespace tbx {

/// The report of `job`, read from the file `file_name`, whose series is
/// summarized in `s`.
std::string fib_report(const FibJob& job, const std::string& file_name, const Summary& s);

/// "<base>_report.txt".
std::string fib_report_name(const std::string& base);

}  // namespace tbx
