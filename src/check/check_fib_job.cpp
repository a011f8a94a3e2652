#include "check/check_fib_job.hpp"

#include <algorithm>

#include "check/fib_plausibility.hpp"
#include "check/finding.hpp"
#include "check/plausibility.hpp"
#include "core/fatal.hpp"
#include "fib/fib_job.hpp"
#include "fib/fib_job_file.hpp"

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

/// A fault as the run reports it ("FIELD: expected ..."), with the likely
/// slip where the numbers show one.
Finding fault_finding(const FibJobFault& fault) {
  Finding f;
  f.line = fault.line;
  f.where = fault.field + ": " + fault.what;
  f.fix = fib_fault_fix(fault);
  return f;
}

}  // namespace

CheckResult check_fib_text(const std::string& text, const std::string& file_name, FibJob& job) {
  FibJobDraft draft = read_fib_job_draft(text, file_name);
  CheckResult result;
  for (const FibJobFault& fault : draft.faults) result.findings.push_back(fault_finding(fault));
  check_fib_plausibility(draft, result);
  if (!draft.faulty("simulations") && !draft.faulty("target_beta")) {
    if (auto f = too_few_simulations(draft.job.simulations, draft.job.target_beta, "simulations", 0, "the job's")) {
      result.findings.push_back(std::move(*f));
    }
  }
  std::stable_sort(result.findings.begin(), result.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  job = std::move(draft.job);
  return result;
}

int check_fib_job(int folder_fd, const std::string& file_name, std::FILE* out) {
  std::string text;
  int status = 0;
  try {
    FibJob job;
    const CheckResult result = check_fib_text(read_fib_job_text(folder_fd, file_name), file_name, job);
    status = check_exit_status(result);
    if (result.findings.empty()) {
      text = file_name + ": no findings" + preset_notes(job);
      for (const std::string& note : result.notes) text += "; " + note;
      text += "\n";
    } else {
      // The count line carries the presets of a job that reads, as the clean
      // line does.
      text = format_check(file_name, result);
      if (status != 1) text.insert(text.size() - 1, preset_notes(job));
    }
  } catch (const FatalError& error) {
    // The file itself cannot be read.
    Finding f;
    f.where = error.message();
    CheckResult result;
    result.findings.push_back(std::move(f));
    text = format_check(file_name, result);
    status = 1;
  }
  std::fputs(text.c_str(), out);
  if (std::fflush(out) != 0 || std::ferror(out)) fatal_error("Unable to write standard output", 0);
  return status;
}

}  // namespace tbx
