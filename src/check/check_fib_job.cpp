#include "check/check_fib_job.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "check/fib_plausibility.hpp"
#include "check/finding.hpp"
#include "check/plausibility.hpp"
#include "check/reader_findings.hpp"
#include "core/fatal.hpp"
#include "input/fib_job_file.hpp"
#include "input/fib_reader.hpp"

namespace tbx {

namespace {

/// The presets a job uses, as "presets: dx (exposure splash), ...", and the
/// ones it overrides, as "given over presets: ...".
std::vector<std::string> preset_notes(const FibJob& job) {
  std::string used, overridden;
  for (std::size_t i = 0; i < job.inputs.size(); ++i) {
    const FibInput& input = job.inputs[i];
    const std::string item = std::string(FIB_VARIABLES_INFO[i].name) + " (" + input.preset + ")";
    if (input.origin == FibOrigin::preset) used += (used.empty() ? "" : ", ") + item;
    if (input.origin == FibOrigin::overridden) overridden += (overridden.empty() ? "" : ", ") + item;
  }
  std::vector<std::string> notes;
  if (!used.empty()) notes.push_back("presets: " + used);
  if (!overridden.empty()) notes.push_back("given over presets: " + overridden);
  return notes;
}

std::string joined(const std::vector<std::string>& notes) {
  std::string text;
  for (const std::string& note : notes) text += "; " + note;
  return text;
}

/// A fault as the run reports it ("FIELD: expected ..."), with the likely
/// slip where the numbers show one.
Finding fault_finding(const FibJobFault& fault) {
  Finding f;
  f.line = fault.line;
  f.where = fault.field;
  f.problem = fault.what;
  f.problem_in_heading = true;
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

CheckedJob checked_fib_job(int folder_fd, const std::string& file_name) {
  CheckedJob checked{file_name, {}, {}};
  CheckResult& result = checked.result;
  try {
    FibJob job;
    result = check_fib_text(read_fib_job_text(folder_fd, file_name), file_name, job);
    const std::vector<std::string> presets = preset_notes(job);
    if (result.findings.empty()) {
      checked.text = file_name + ": no findings" + joined(presets) + joined(result.notes) + "\n";
    } else {
      // The count line carries the presets of a job that reads, as the clean
      // line does.
      checked.text = format_check(file_name, result);
      if (check_exit_status(result) != 1) checked.text.insert(checked.text.size() - 1, joined(presets));
    }
    result.notes.insert(result.notes.begin(), presets.begin(), presets.end());
  } catch (const FatalError& error) {
    // The file itself cannot be read.
    result = {};
    result.findings.push_back(stop_finding(error));
    checked.text = format_check(file_name, result);
  }
  return checked;
}

int check_fib_job(int folder_fd, const std::string& file_name, std::FILE* out) {
  const CheckedJob checked = checked_fib_job(folder_fd, file_name);
  std::fputs(checked.text.c_str(), out);
  if (std::fflush(out) != 0 || std::ferror(out)) fatal_error("Unable to write standard output", 0);
  return check_exit_status(checked.result);
}

}  // namespace tbx
