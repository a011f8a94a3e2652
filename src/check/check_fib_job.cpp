#include "check/check_fib_job.hpp"

#include "check/finding.hpp"
#include "check/plausibility.hpp"
#include "core/fatal.hpp"
#include "fib/fib_job.hpp"
#include "fib/run_fib_job.hpp"

namespace tbx {

namespace {

/// The presets a job uses, as "dx (exposure splash), ...", and the ones it
/// overrides.
std::string preset_notes(const FibJob& job) {
  std::string used, overridden;
  for (std::size_t i = 0; i < job.inputs.size(); ++i) {
    const FibInput& input = job.inputs[i];
    const std::string item = std::string(FIB_VARIABLES_INFO[i].name) + " (" + input.preset + ")";
    if (input.origin == FibOrigin::preset) used += (used.empty() ? "" : ", ") + item;
    if (input.origin == FibOrigin::overridden) overridden += (overridden.empty() ? "" : ", ") + item;
  }
  std::string notes;
  if (!used.empty()) notes += "; presets: " + used;
  if (!overridden.empty()) notes += "; given over presets: " + overridden;
  return notes;
}

/// "FILE:LINE: FIELD: ..." as "FILE:LINE: error: FIELD: ...".
std::string as_error(const std::string& message, const std::string& file_name) {
  std::size_t at = message.compare(0, file_name.size(), file_name) == 0 ? message.find(": ", file_name.size())
                                                                         : std::string::npos;
  if (at == std::string::npos) return file_name + ": error: " + message;
  at += 2;
  return message.substr(0, at) + "error: " + message.substr(at);
}

}  // namespace

int check_fib_job(int folder_fd, const std::string& file_name, std::FILE* out) {
  std::string text;
  int status = 0;
  try {
    const FibJob job = read_fib_job(read_fib_job_text(folder_fd, file_name), file_name);
    CheckResult result;
    if (auto f = too_few_simulations(job.simulations, job.target_beta, "simulations", 0, "the job's")) {
      result.findings.push_back(std::move(*f));
    }
    if (result.findings.empty()) {
      text = file_name + ": no findings" + preset_notes(job) + "\n";
    } else {
      // The count line carries the presets, as the clean line does.
      text = format_check(file_name, result);
      text.insert(text.size() - 1, preset_notes(job));
      status = check_exit_status(result);
    }
  } catch (const FatalError& error) {
    text = as_error(error.message(), file_name) + "\n" + file_name + ": 1 error\n";
    status = 1;
  }
  std::fputs(text.c_str(), out);
  if (std::fflush(out) != 0 || std::ferror(out)) fatal_error("Unable to write standard output", 0);
  return status;
}

}  // namespace tbx
