#pragma once
// tbxrun --check: reads a job file with the run's reader and rules, runs
// nothing, writes no file, and reports every finding at once.

#include <cstdio>
#include <string>

#include "check/finding.hpp"
#include "input/reader.hpp"
#include "input/validation_rules.hpp"

namespace tbx {

/// Every finding about the job text in `in`.
CheckResult check_job_stream(std::FILE* in);
/// The finding of a broken rule of the job read with `trace`.
Finding validation_finding(const JobData& job, const ReadTrace& trace, const Violation& v);

/// Every finding about the job text `text` (an empty one is one finding).
CheckResult check_job_text(const std::string& text);

/// Checks "<job_name>.dat", writes the findings to `out` and returns the
/// exit status: 0 clean, 1 an error, 3 warnings only. A failed write to
/// `out` ends through the fatal path.
int check_job(const std::string& job_name, std::FILE* out);

}  // namespace tbx
