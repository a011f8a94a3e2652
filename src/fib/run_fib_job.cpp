#include "fib/run_fib_job.hpp"

#include <cstdio>

#include "core/fatal.hpp"
#include "fib/fib_model.hpp"
#include "fib/fib_report.hpp"
#include "files/crc32.hpp"
#include "files/owned_file.hpp"
#include "job/memory_check.hpp"
#include "job/time_series.hpp"
#include "prob/random.hpp"
#include "report/file_set.hpp"
#include "report/output_file.hpp"
#include "summary/simulation_model.hpp"
#include "summary/summary_files.hpp"

namespace tbx {

namespace {

/// Each variable's distribution as the run used it, presets applied.
std::vector<ResolvedInput> fib_resolved_inputs(const FibJob& job) {
  std::vector<ResolvedInput> out;
  for (std::size_t i = 0; i < job.inputs.size(); ++i) {
    const FibInput& input = job.inputs[i];
    const MomentDistribution& d = input.distribution;
    ResolvedInput r;
    r.name = FIB_VARIABLES_INFO[i].name;
    r.unit = FIB_VARIABLES_INFO[i].unit;
    r.distribution = moment_kind_name(d.kind);
    if (d.kind != MomentKind::uniform) r.parameters.emplace_back("mean", d.mean);
    if (d.kind != MomentKind::uniform && d.kind != MomentKind::fixed) r.parameters.emplace_back("sd", d.sd);
    if (d.kind == MomentKind::beta || d.kind == MomentKind::uniform) {
      r.parameters.emplace_back("lower", d.lower);
      r.parameters.emplace_back("upper", d.upper);
    }
    switch (input.origin) {
      case FibOrigin::job: r.origin = "given"; break;
      case FibOrigin::preset: r.origin = "preset"; break;
      case FibOrigin::overridden: r.origin = "given, overrides preset"; break;
    }
    if (input.origin != FibOrigin::job) r.preset = input.preset;
    out.push_back(std::move(r));
  }
  return out;
}
/// Far beyond any job file; a larger one is refused rather than read.
constexpr std::size_t MAX_JOB_FILE_BYTES = 16 << 20;

}  // namespace

std::string read_fib_job_text(int folder_fd, const std::string& name) {
  const OwnedFile file = open_for_reading(folder_fd, name);
  if (!file) fatal_error(FatalKind::not_found, "File not found - " + name);
  std::string text;
  char buffer[1 << 16];
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get())) {
    text.append(buffer, n);
    if (text.size() > MAX_JOB_FILE_BYTES) fatal_error(FatalKind::invalid_job, "Job file too large (max. = 16 MiB) - " + name);
  }
  if (std::ferror(file.get())) fatal_error(FatalKind::io, "Unable to read job file - " + name);
  return text;
}

std::string fib_job_file_name(const std::string& base) { return base + ".toml"; }
std::string fib_report_name(const std::string& base) { return base + "_report.txt"; }

void run_fib_job(const Folder& folder, const std::string& base, const RunOptions& options) {
  const std::string file_name = fib_job_file_name(base);
  const std::string job_text = read_fib_job_text(folder.fd(), file_name);
  FibJob job = read_fib_job(job_text, file_name);
  SummaryOptions summary_options = options.summary_options;
  summary_options.target_beta = options.target_beta.value_or(job.target_beta);
  check_design_life(job.times, summary_options);
  if (summary_options.sobol_simulations == 0) summary_options.sobol_simulations = job.sobol_simulations;
  const FibModel model(job);
  check_memory(series_memory_needed(static_cast<double>(job.simulations), static_cast<double>(job.times.size()),
                                    kept_per_simulation(model), summary_bytes_per_simulation(model, options.threads)));
  OutputFile::check_writable(folder.fd(), fib_report_name(base), fib_report_name(base));
  check_summary_writable(folder.fd(), base);
  std::fputs("\nPerforming simulation ... \n", stdout);

  // The few seeds on which the generator stands still move on to the next
  // usable one; the report shows the seed used.
  job.seed = first_working_seed(job.seed);
  SeriesResults results;
  allocate_series_results(results, job.simulations, static_cast<std::int64_t>(job.times.size()));
  const std::unique_ptr<SimulationModel> simulations =
      keep_simulations(model, job.simulations, job.seed, results, stdout, options.threads);
  run_series(job.times, job.simulations, [&](double t, const RowStages& stages) { simulations->run(t, stages); },
             results, stdout);

  Summary summary = summarize(*simulations, results, summary_options);
  summary.model = "fib";
  summary.title = job.title;
  summary.provenance = run_provenance(file_name, job_text, job.seed);
  summary.provenance.inputs = fib_resolved_inputs(job);
  FileSet files(folder.fd(), options.sync ? FileSet::Sync::each_file : FileSet::Sync::none);
  OutputFile& report = files.open(fib_report_name(base), fib_report_name(base));
  report.text() = fib_report(job, file_name, summary);
  RunStamp stamp;
  // The identifier leaves the date out (as run_identifier does for the
  // summary): a run that repeats another exactly keeps it on another day.
  Summary undated = summary;
  undated.provenance.date.clear();
  stamp.run = run_identifier(crc32(fib_report(job, file_name, undated)), summary);
  // The report shows the identifier its summary files carry.
  report.text() += "\nRun           " + stamp.run + "\n";
  stamp.reports = {{"_report.txt", report.text().size(), crc32(report.text())}};
  files.finished(report);
  write_summary_files(files, base, summary, stamp);
  files.place();
  std::fputs(verdict_lines(summary).c_str(), stdout);
}

}  // namespace tbx
