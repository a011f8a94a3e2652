// tbxrun_literal JOB: runs a job the plain way, as a yardstick for timings.
//
// Every time point calls the plain simulate_cycle, which draws its own table
// of uniform numbers and samples every simulation again, on one thread.
// Reading, the profile fit, the statistics and the reports are the program's
// own (the micro-benchmarks time the simulation table against snprintf). Its
// output must be byte for byte that of tbxrun, which makes it a cross-check
// of the cycle engine as well.

#include <cmath>
#include <cstdio>
#include <string>

#include "core/fatal.hpp"
#include "input/reader.hpp"
#include "input/validate.hpp"
#include "job/cycle.hpp"
#include "job/profile_fit.hpp"
#include "job/run_job.hpp"
#include "job/time_series.hpp"
#include "report/write_reports.hpp"

namespace {

using namespace tbx;

void run_series(JobData& job, SeriesResults& r) {
  const double tmin = job.dist_param[1][TIME];
  const double tmax = job.dist_param[2][TIME];
  const double step = time_step(tmin, tmax, job.n_intervals);
  const std::int64_t points = std::int64_t{job.n_intervals} + 1;
  const std::int64_t nsim = job.nsim;
  alloc_ivector(r.indicator, nsim);
  alloc_matrix(r.sim_results, nsim + 2, 3);
  for (RealVector* v : {&r.pf, &r.pf_se, &r.beta, &r.pf_beta, &r.times}) alloc_vector(*v, points);
  if (job.seed_mode == 1) job.seed = clock_seed();
  if (tmax == 0) job.n_intervals = 0;
  double failures = 0.0;
  for (std::int64_t i = 1; i <= std::int64_t{job.n_intervals} + 1; ++i) {
    const double t = time_point(i, job.n_intervals, tmin, step);
    job.dist_param[1][TIME] = t;
    r.times[i] = t;
    std::printf("Simulation cycle number %i \n", static_cast<int>(i));
    simulate_cycle(job.nsim, job.analysis_mode, job.seed, job.dist_type, r.indicator, job.dist_param,
                   r.sim_results, stdout);
    failures = 0.0;
    for (std::int64_t j = 1; j <= nsim; ++j) failures += r.indicator[j];
    r.pf[i] = failures / static_cast<double>(nsim) * 100;
    const double p = r.pf[i] / 100;
    r.pf_se[i] = std::sqrt(p * (1 - p) / static_cast<double>(nsim));
    column_statistics(r.sim_results, nsim);
    r.beta[i] = r.sim_results[nsim + 1][3] / r.sim_results[nsim + 2][3];
    r.pf_beta[i] = probability_from_beta(r.beta[i]);
  }
  job.dist_param[1][TIME] = tmin;
  r.n_failures = failures;
}

void run(const std::string& job_name) {
  std::FILE* input = std::fopen((job_name + ".dat").c_str(), "r");
  if (input == nullptr) fatal_error("File not found - jobname_me.dat", 0);
  JobData job;
  alloc_job_arrays(job);
  RealMatrix predicted_profile;
  alloc_matrix(predicted_profile, 2, N_PROFILE);
  int line_no = 1;
  read_job(input, line_no, job);
  validate_job(job);
  std::fputs("\nPerforming simulation ... \n", stdout);
  if (job.analysis_mode == 2) apply_profile_fit(job, predicted_profile);
  SeriesResults results;
  run_series(job, results);
  write_reports(job_name, job, results, predicted_profile);
  std::fclose(input);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: tbxrun_literal JOB\n", stderr);
    return 2;
  }
  std::fputs(BANNER, stdout);
  try {
    run(argv[1]);
  } catch (const FatalError& error) {
    std::fflush(stdout);
    std::fputs(error.report().c_str(), stderr);
    return 1;
  }
  return 0;
}
