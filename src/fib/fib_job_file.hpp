#pragma once
// The file of a fib job.

#include <string>

namespace tbx {

/// "<base>.toml".
std::string fib_job_file_name(const std::string& base);

/// The text of the job file `name` in the folder `folder_fd`; a file that
/// cannot be read, or is larger than any job file, ends the run.
std::string read_fib_job_text(int folder_fd, const std::string& name);

}  // namespace tbx
