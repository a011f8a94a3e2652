#include "fib/fib_job_file.hpp"

#include <cstdio>

#include "core/fatal.hpp"
#include "files/owned_file.hpp"

namespace tbx {

namespace {
/// Far beyond any job file; a larger one is refused rather than read.
constexpr std::size_t MAX_JOB_FILE_BYTES = 16 << 20;
}  // namespace

std::string fib_job_file_name(const std::string& base) { return base + ".toml"; }

std::string read_fib_job_text(int folder_fd, const std::string& name) {
  const OwnedFile file = open_for_reading(folder_fd, name);
  if (!file) fatal_error(FatalKind::not_found, "File not found - " + name);
  std::string text;
  char buffer[1 << 16];
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get())) {
    text.append(buffer, n);
    if (text.size() > MAX_JOB_FILE_BYTES) {
      fatal_error(FatalKind::invalid_job, "Job file too large (max. = 16 MiB) - " + name);
    }
  }
  if (std::ferror(file.get())) fatal_error(FatalKind::io, "Unable to read job file - " + name);
  return text;
}

}  // namespace tbx
