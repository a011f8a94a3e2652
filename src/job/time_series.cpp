#include "job/time_series.hpp"

#include <cmath>
#include <ctime>
#include <memory>
#include <string>

#include "core/number_format.hpp"
#include "job/cycle_engine.hpp"
#include "job/plain_cycle.hpp"
#include "model/chloride_model.hpp"
#include "prob/error_function.hpp"
#include "prob/random.hpp"

namespace tbx {

double time_step(double tmin, double tmax, std::int32_t n_intervals) {
  const double step = std::floor(std::fabs(tmax - tmin) / n_intervals);
  return step < 1 ? 1 : step;
}

double time_point(std::int64_t i, std::int32_t n_intervals, double tmin, double step) {
  if (i == 1 && n_intervals > 1) return tmin == 0 ? 1.0 : tmin;
  return static_cast<double>(i - 1) * step + tmin;
}

std::int32_t clock_seed() {
  const auto seconds = static_cast<std::uint64_t>(std::time(nullptr));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(seconds & 0xFFFFFFFFu));
}

void column_statistics(RealMatrix& sim_results, std::int64_t nsim, int first_column) {
  // The columns in one sweep: each sum still runs over j in ascending order,
  // and the chains of additions overlap instead of waiting for one another.
  double sum[4] = {0.0, 0.0, 0.0, 0.0};
  for (std::int64_t j = 1; j <= nsim; ++j) {
    const auto row = sim_results[j];
    for (int k = first_column; k <= 3; ++k) sum[k] += row[k];
  }
  double mean[4] = {0.0, 0.0, 0.0, 0.0};
  for (int k = first_column; k <= 3; ++k) {
    mean[k] = sum[k] / static_cast<double>(nsim);
    sim_results[nsim + 1][k] = mean[k];
  }
  double squares[4] = {0.0, 0.0, 0.0, 0.0};
  for (std::int64_t j = 1; j <= nsim; ++j) {
    const auto row = sim_results[j];
    for (int k = first_column; k <= 3; ++k) {
      const double d = mean[k] - row[k];
      squares[k] += d * d;
    }
  }
  for (int k = first_column; k <= 3; ++k) {
    sim_results[nsim + 2][k] = std::sqrt(squares[k] / static_cast<double>(nsim - 1));
  }
}

double probability_from_beta(double beta) {
  double y = (beta / std::sqrt(2.0)) * -1.0;
  error_function(y);
  return -0.5 * y * 100;
}

CycleFactory engine_cycles(int threads, std::int64_t chunk_size) {
  return [threads, chunk_size](const JobData& job, SeriesResults& r, std::FILE* out) -> Cycle {
    auto engine = std::make_shared<CycleEngine<ChlorideModel>>(ChlorideModel(job), job.nsim, job.seed, r.indicator,
                                                               r.sim_results, out, threads, chunk_size);
    return [engine](double t) { engine->run(t); };
  };
}

CycleFactory plain_cycles() {
  return [](const JobData& job, SeriesResults& r, std::FILE* out) -> Cycle {
    auto model = std::make_shared<const ChlorideModel>(job);
    return [model, nsim = job.nsim, seed = job.seed, &r, out](double t) {
      plain_cycle(*model, nsim, seed, t, r.indicator, r.sim_results, out);
    };
  };
}

void run_time_series(JobData& job, SeriesResults& r, std::FILE* out, const CycleFactory& make_cycle) {
  const double tmin = job.dist_param[1][TIME];
  const double tmax = job.dist_param[2][TIME];
  const double step = time_step(tmin, tmax, job.n_intervals);
  const std::int64_t points = std::int64_t{job.n_intervals} + 1;
  const std::int64_t nsim = job.nsim;

  alloc_ivector(r.indicator, nsim);
  alloc_matrix(r.sim_results, nsim + 2, 3);
  alloc_vector(r.pf, points);
  alloc_vector(r.pf_se, points);
  alloc_vector(r.beta, points);
  alloc_vector(r.pf_beta, points);
  alloc_vector(r.times, points);

  // A clock that happens to show one of the few seeds on which the generator
  // stands still moves on to the next usable second; the report shows it.
  if (job.seed_mode == 1) job.seed = first_working_seed(clock_seed());
  if (tmax == 0) job.n_intervals = 0;

  const Cycle cycle = make_cycle(job, r, out);
  double failures = 0.0;
  std::string line;
  for (std::int64_t i = 1; i <= std::int64_t{job.n_intervals} + 1; ++i) {
    const double t = time_point(i, job.n_intervals, tmin, step);
    job.dist_param[1][TIME] = t;
    r.times[i] = t;
    line = "Simulation cycle number ";
    append_int(line, i, 0);
    line += " \n";
    std::fputs(line.c_str(), out);

    cycle(t);

    // Counted in integers: every partial sum is a whole number below 2^53,
    // which a sum of reals would hold exactly too.
    std::int64_t count = 0;
    for (std::int64_t j = 1; j <= nsim; ++j) count += r.indicator[j];
    failures = static_cast<double>(count);
    r.pf[i] = failures / static_cast<double>(nsim) * 100;
    const double p = r.pf[i] / 100;
    r.pf_se[i] = std::sqrt(p * (1 - p) / static_cast<double>(nsim));
    // R does not depend on the time: its mean and deviation, those of the
    // first time point, stay in place.
    column_statistics(r.sim_results, nsim, i == 1 ? 1 : 2);
    r.beta[i] = r.sim_results[nsim + 1][3] / r.sim_results[nsim + 2][3];
    r.pf_beta[i] = probability_from_beta(r.beta[i]);
  }
  job.dist_param[1][TIME] = tmin;
  r.n_failures = failures;
}

}  // namespace tbx
