#include "check/check_job.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "check/check_fib_job.hpp"
#include "check/describe.hpp"
#include "check/plausibility.hpp"
#include "check/reader_findings.hpp"
#include "core/fatal.hpp"
#include "fib/fib_job_file.hpp"
#include "files/folder.hpp"
#include "files/owned_file.hpp"
#include "input/reader.hpp"
#include "input/validation_rules.hpp"

namespace tbx {

namespace {

constexpr const char* EMPTY_FILE_FIX = "write the job's fields (see tbxrun(1))";

Finding file_finding(std::string problem, std::string fix) {
  Finding f;
  f.where = "job file";
  f.problem = std::move(problem);
  f.expected = "a job file of text";
  f.fix = std::move(fix);
  return f;
}

CheckResult check_read_job(std::FILE* in) {
  CheckResult result;
  JobData job;
  alloc_job_arrays(job);
  ReadTrace trace;
  int line_no = 1;
  try {
    read_job(in, line_no, job, &trace);
  } catch (const FatalError& error) {
    // The reader never resynchronises: what follows its first fault is not
    // known as any field.
    result.findings.push_back(reader_finding(error.report(), trace));
    return result;
  }
  check_trailing_text(in, line_no, job, result);
  for_each_violation(job, [&](const Violation& v) { result.findings.push_back(validation_finding(job, trace, v)); });
  check_plausibility(job, trace, result);
  std::stable_sort(result.findings.begin(), result.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  return result;
}

}  // namespace

CheckResult check_job_stream(std::FILE* in) {
  try {
    return check_read_job(in);
  } catch (const std::bad_alloc&) {
    CheckResult result;
    result.findings.push_back(file_finding(std::string(MEMORY_ALLOCATION_FAILED), "free some memory"));
    return result;
  }
}

Finding validation_finding(const JobData& job, const ReadTrace& trace, const Violation& v) {
  Finding f;
  f.line = trace.line_of(v.field, v.index);
  f.where = describe_field(v.field, v.index);
  f.value = value_text(job, v.field, v.index);
  f.problem = std::string(v.message);
  f.expected = std::string(v.expected);
  f.fix = std::string(v.fix);
  return f;
}

CheckResult check_job_text(const std::string& text) {
  if (text.empty()) {
    CheckResult result;
    result.findings.push_back(file_finding("the file is empty", EMPTY_FILE_FIX));
    return result;
  }
  std::string copy = text;
  const OwnedFile in(fmemopen(copy.data(), copy.size(), "r"));
  if (!in) fatal_error(FatalKind::out_of_memory, MEMORY_ALLOCATION_FAILED);
  return check_job_stream(in.get());
}

int check_job(const std::string& job_name, std::FILE* out) {
  const std::string file_name = job_name + ".dat";
  // A fib job where there is no classic one.
  if (const std::optional<Folder> folder = open_folder_of(job_name)) {
    const std::string base = last_part(job_name);
    if (!folder->holds(base + ".dat") && folder->holds(fib_job_file_name(base))) {
      return check_fib_job(folder->fd(), fib_job_file_name(base), out);
    }
  }
  CheckResult result;
  const OwnedFile in(std::fopen(file_name.c_str(), "r"));
  struct stat info {};
  if (!in) {
    const std::string problem = std::string("cannot open the file: ") + std::strerror(errno);
    const bool with_suffix = job_name.size() > 4 && job_name.compare(job_name.size() - 4, 4, ".dat") == 0;
    result.findings.push_back(file_finding(
        problem, with_suffix ? "leave out \".dat\": tbxrun --check " + job_name.substr(0, job_name.size() - 4)
                             : "give the job name without \".dat\", with its directory if it has one"));
  } else if (::fstat(::fileno(in.get()), &info) == 0 && S_ISDIR(info.st_mode)) {
    result.findings.push_back(file_finding("this is a directory", "give the name of the job file without \".dat\""));
  } else if (S_ISREG(info.st_mode) && info.st_size == 0) {
    result.findings.push_back(file_finding("the file is empty", EMPTY_FILE_FIX));
  } else {
    result = check_job_stream(in.get());
  }
  const std::string text = format_check(file_name, result);
  std::fputs(text.c_str(), out);
  // Findings that could not be written are not a clean bill.
  if (std::fflush(out) != 0 || std::ferror(out)) fatal_error("Unable to write standard output", 0);
  return check_exit_status(result);
}

}  // namespace tbx
