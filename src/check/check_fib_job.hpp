#pragma once
// tbxrun --check on a fib job: reads JOB.toml as the run would, runs
// nothing, writes no file.

#include <cstdio>
#include <string>

#include "check/finding.hpp"
#include "fib/fib_job.hpp"

namespace tbx {

/// Checks the fib job file `file_name` in the folder `folder_fd` and writes
/// to `out` either "FILE: no findings" with the presets the job uses and a
/// note on each cut variable, or every finding of the file at once: the
/// run's message for each mistake ("FILE:LINE: error: FIELD: expected ...",
/// with a fix where the numbers show the slip), a warning for each value the
/// run accepts that is most likely a mistake, and a count. Returns the exit
/// status: 0 clean, 1 an error, 3 warnings only.
int check_fib_job(int folder_fd, const std::string& file_name, std::FILE* out);

/// Every finding about the text of the fib job file `file_name`; `job` gets
/// the fields that read. A text nested too deep to read ends through the
/// fatal path.
CheckResult check_fib_text(const std::string& text, const std::string& file_name, FibJob& job);

}  // namespace tbx
