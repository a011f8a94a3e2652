#include "api/run_job.hpp"

#include <csignal>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>

#include "api/run_fib_job.hpp"
#include "check/check_job.hpp"
#include "check/distribution.hpp"
#include "core/fatal.hpp"
#include "engine/profile_fit.hpp"
#include "engine/time_series.hpp"
#include "files/folder.hpp"
#include "files/job_lock.hpp"
#include "files/owned_file.hpp"
#include "files/remove_on_signal.hpp"
#include "input/fib_reader.hpp"
#include "input/job_fields.hpp"
#include "input/prompt.hpp"
#include "input/reader.hpp"
#include "input/validate.hpp"
#include "report/file_set.hpp"
#include "report/output_file.hpp"
#include "report/summary_files.hpp"
#include "report/write_reports.hpp"
#include "summary/memory_check.hpp"

namespace tbx {


namespace {

constexpr const char* NOT_FOUND = "File not found - jobname_me.dat";

/// The files a run of `job_name` looks for, as the user would type them.
std::string looked_for(const std::string& job_name) {
  return job_name + ".dat and " + job_name + ".toml";
}

/// Ends the run for a job whose file is not there. A plain name keeps the
/// classic message alone, as it always was; a name with a folder or an
/// extension gets a second line naming the files looked for.
[[noreturn]] void job_not_found(const std::string& job_name, const std::string& given_file) {
  if (folder_part(job_name).empty() && given_file.empty()) fatal_error(NOT_FOUND, 0);
  fatal_error(std::string(NOT_FOUND) + "\nLooked for " + (given_file.empty() ? "" : given_file + ", ") +
                  looked_for(job_name),
              0);
}

// The job's folder, held open: the job file, the lock and both reports are
// found there even if the folder is renamed during the run.
Folder open_job_folder(const std::string& job_name) {
  std::optional<Folder> folder = open_folder_of(job_name);
  if (!folder) {
    fatal_error(std::string(NOT_FOUND) + "\nLooked for " + looked_for(job_name) + ": the folder " +
                    folder_part(job_name) + " cannot be opened",
                0);
  }
  return std::move(*folder);
}

/// The whole job file again, from its start; nothing where it cannot be
/// read again (a pipe).
std::optional<std::string> reread(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_SET) != 0) return std::nullopt;
  std::string text;
  char buffer[1 << 16];
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
  if (std::ferror(file)) return std::nullopt;
  return text;
}

/// Each variable's distribution and parameters as the job file gives them.
std::vector<ResolvedInput> classic_resolved_inputs(const JobData& job) {
  std::vector<ResolvedInput> out;
  for (int v = 1; v <= N_VARIABLES; ++v) {
    const VariableInfo& info = variable_info(v);
    ResolvedInput r;
    r.name = std::string(info.name);
    r.unit = info.unit.empty() ? "-" : std::string(info.unit);
    r.distribution = std::string(distribution_name(job.dist_type[v]));
    r.parameters = {{"first_parameter", job.dist_param[1][v]}, {"second_parameter", job.dist_param[2][v]}};
    r.origin = "given";
    out.push_back(std::move(r));
  }
  return out;
}

/// The extension of a job file at the end of `name` (".dat", ".toml"), or
/// empty.
std::string job_extension(const std::string& name) {
  for (const char* ext : {".dat", ".toml"}) {
    const std::string e = ext;
    if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0) return e;
  }
  return "";
}

}  // namespace

void run_job(const std::string& given_name, const CycleFactory& make_cycle, const RunOptions& options) {
  const Folder folder = open_job_folder(given_name);
  std::string job_name = given_name;
  std::string base = last_part(job_name);
  // One run of a job at a time, from reading its file to its last report;
  // a job that does not exist takes no lock.
  bool classic = folder.holds(base + ".dat");
  bool fib = folder.holds(fib_job_file_name(base));
  // A job given by its file's name ("pier.toml") runs that file, where
  // there is no job of the name itself ("pier.toml.dat").
  const std::string ext = job_extension(base);
  std::string given_file;
  if (!classic && !fib && !ext.empty()) {
    given_file = given_name;
    if (folder.holds(base)) {
      job_name.resize(job_name.size() - ext.size());
      base.resize(base.size() - ext.size());
      classic = ext == ".dat";
      fib = !classic;
    }
  }
  if (classic && fib) {
    fatal_error("Two job files - " + base + ".dat and " + fib_job_file_name(base) + "; keep the one to run", 0);
  }
  if (!classic && !fib) job_not_found(job_name, given_file);
  const JobLock lock(folder, base, classic ? base + ".dat" : fib_job_file_name(base), job_name, stderr,
                     options.no_wait ? JobLock::Wait::no : JobLock::Wait::yes);
  if (fib) {
    run_fib_job(folder, base, options);
    return;
  }
  const OwnedFile input = open_for_reading(folder.fd(), base + ".dat");
  if (!input) fatal_error(NOT_FOUND, 0);

  JobData job;
  alloc_job_arrays(job);
  RealMatrix predicted_profile;
  alloc_matrix(predicted_profile, 2, N_PROFILE);

  int line_no = 1;
  read_job(input.get(), line_no, job);
  // The summary names the job file by its SHA-256: its bytes as read.
  const std::optional<std::string> job_text = options.summary ? reread(input.get()) : std::nullopt;
  validate_job(job);
  check_design_life(job, options.summary_options);
  // What cannot succeed fails now rather than after the simulation.
  check_memory(memory_needed(job, options.summary, options.threads));
  OutputFile::check_writable(folder.fd(), results_report_name(base), RESULTS_REPORT_LABEL);
  // A spreadsheet file that cannot be opened ends the run after the
  // simulation, with the results report in place; only a device or the like
  // in its way is refused now.
  OutputFile::refuse_special_file(folder.fd(), spreadsheet_name(base), SPREADSHEET_LABEL);
  if (options.summary) check_summary_writable(folder.fd(), base);
  std::fputs("\nPerforming simulation ... \n", stdout);

  if (job.analysis_mode == 2) apply_profile_fit(job, predicted_profile, options.threads);

  SeriesResults results;
  std::unique_ptr<SimulationModel> model;
  run_time_series(job, results, stdout, options.summary ? summary_cycles(model, options.threads) : make_cycle);
  FileSet files(folder.fd(), options.sync ? FileSet::Sync::each_file : FileSet::Sync::none);
  const auto reports =
      write_reports(job_name, job, results, predicted_profile, files, options.threads, model != nullptr);
  std::optional<Summary> summary;
  if (model) {
    summary = summarize(*model, results, options.summary_options);
    summary->provenance = run_provenance(base + ".dat", job_text.value_or(""), job.seed);
    if (!job_text) summary->provenance.job_sha256.clear();
    summary->provenance.inputs = classic_resolved_inputs(job);
    RunStamp stamp;
    stamp.reports = {{"_rs.dat", reports[0]->size(), reports[0]->checksum()},
                     {"_xls.dat", reports[1]->size(), reports[1]->checksum()}};
    stamp.run = run_identifier(reports_crc(stamp.reports), *summary);
    write_summary_files(files, base, *summary, stamp);
  } else {
    // A summary of an earlier run would no longer describe these reports.
    files.remove_when_placed(summary_json_name(base));
    files.remove_when_placed(summary_csv_name(base));
  }
  files.place();
  // Only with --summary: the console of a plain run stays as it always was.
  if (summary) std::fputs(verdict_lines(*summary).c_str(), stdout);

  free_vector(results.times);
  free_vector(results.pf_beta);
  free_vector(results.beta);
  free_vector(results.pf_se);
  free_vector(results.pf);
  free_matrix(results.sim_results);
  free_ivector(results.indicator);
  free_matrix(predicted_profile);
  free_vector(job.profile_cl);
  free_vector(job.profile_depth);
  free_matrix(job.dist_param);
  job.dist_type.release();
}

}  // namespace tbx
