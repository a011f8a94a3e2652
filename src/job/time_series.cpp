#include "job/time_series.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <ctime>
#include <memory>
#include <optional>
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

namespace {

/// Means and standard deviations of columns first_column..3, gathered range
/// of rows by range of rows. Each sum runs over the rows in ascending order,
/// whatever the ranges, so the results are those of one sweep; the columns'
/// chains of additions overlap instead of waiting for one another.
class ColumnMoments {
 public:
  explicit ColumnMoments(int first_column) : first_(first_column) {}

  // The passes run on one thread at a time but overlap the cycles; kept out
  // of line so that a profile names them (bench/run.sh).
  /// Pass 1: the sums of the values.
  [[gnu::noinline]] void add_values(const RealMatrix& m, std::int64_t first, std::int64_t last) {
    first_ == 1 ? sum_rows<1>(m, first, last) : sum_rows<2>(m, first, last);
  }
  /// The means, into row nsim+1.
  void finish_means(RealMatrix& m, std::int64_t nsim) {
    for (int k = first_; k <= 3; ++k) {
      mean_[k] = sum_[k] / static_cast<double>(nsim);
      m[nsim + 1][k] = mean_[k];
    }
  }
  /// Pass 2, once the means are known: the squared deviations.
  [[gnu::noinline]] void add_squares(const RealMatrix& m, std::int64_t first, std::int64_t last) {
    first_ == 1 ? sum_squares<1>(m, first, last) : sum_squares<2>(m, first, last);
  }
  /// The standard deviations, into row nsim+2.
  void finish_deviations(RealMatrix& m, std::int64_t nsim) {
    for (int k = first_; k <= 3; ++k) m[nsim + 2][k] = std::sqrt(squares_[k] / static_cast<double>(nsim - 1));
  }

 private:
  // The sums are kept in locals, which the compiler holds in registers (the
  // matrix could alias the members), over a fixed set of columns. Unrolled,
  // the loops spend fewer instructions per row on counting; every sum still
  // takes the rows one after the other.
  template <int FIRST>
  void sum_rows(const RealMatrix& m, std::int64_t first, std::int64_t last) {
    double sum[4] = {sum_[0], sum_[1], sum_[2], sum_[3]};
#pragma GCC unroll 4
    for (std::int64_t j = first; j <= last; ++j) {
      const auto row = m[j];
      for (int k = FIRST; k <= 3; ++k) sum[k] += row[k];
    }
    std::copy(std::begin(sum), std::end(sum), std::begin(sum_));
  }
  template <int FIRST>
  void sum_squares(const RealMatrix& m, std::int64_t first, std::int64_t last) {
    const double mean[4] = {mean_[0], mean_[1], mean_[2], mean_[3]};
    double squares[4] = {squares_[0], squares_[1], squares_[2], squares_[3]};
#pragma GCC unroll 4
    for (std::int64_t j = first; j <= last; ++j) {
      const auto row = m[j];
      for (int k = FIRST; k <= 3; ++k) {
        const double d = mean[k] - row[k];
        squares[k] += d * d;
      }
    }
    std::copy(std::begin(squares), std::end(squares), std::begin(squares_));
  }

  int first_;
  double sum_[4] = {0.0, 0.0, 0.0, 0.0};
  double mean_[4] = {0.0, 0.0, 0.0, 0.0};
  double squares_[4] = {0.0, 0.0, 0.0, 0.0};
};

}  // namespace

void column_statistics(RealMatrix& sim_results, std::int64_t nsim, int first_column) {
  ColumnMoments moments(first_column);
  moments.add_values(sim_results, 1, nsim);
  moments.finish_means(sim_results, nsim);
  moments.add_squares(sim_results, 1, nsim);
  moments.finish_deviations(sim_results, nsim);
}

double probability_from_beta(double beta) {
  double y = (beta / std::sqrt(2.0)) * -1.0;
  error_function(y);
  return -0.5 * y * 100;
}

CycleFactory engine_cycles(int threads, std::int64_t chunk_size) {
  return [threads, chunk_size](const JobData& job, SeriesResults& r, Console out) -> Cycle {
    auto engine = std::make_shared<CycleEngine<ChlorideModel>>(ChlorideModel(job), job.nsim, job.seed, r.indicator,
                                                               r.sim_results, out, threads, chunk_size);
    return [engine](double t, const RowStages& stages) { engine->run(t, stages); };
  };
}

CycleFactory plain_cycles() {
  return [](const JobData& job, SeriesResults& r, Console out) -> Cycle {
    auto model = std::make_shared<const ChlorideModel>(job);
    return [model, nsim = job.nsim, seed = job.seed, &r, out](double t, const RowStages& stages) {
      if (stages.before) stages.before(1, nsim);
      plain_cycle(*model, nsim, seed, t, r.indicator, r.sim_results, out);
      if (stages.after) stages.after(1, nsim);
    };
  };
}

void allocate_series_results(SeriesResults& r, std::int64_t nsim, std::int64_t points) {
  alloc_ivector(r.indicator, nsim);
  alloc_matrix(r.sim_results, nsim + 2, 3);
  alloc_vector(r.pf, points);
  alloc_vector(r.pf_se, points);
  alloc_vector(r.beta, points);
  alloc_vector(r.pf_beta, points);
  alloc_vector(r.times, points);
}

void run_series(const std::vector<double>& times, std::int64_t nsim, const Cycle& cycle, SeriesResults& r,
                Console out, const std::function<void(double t)>& before_point) {
  // The statistics of a time point are gathered while the cycles run: the
  // sums as each range of rows is written, the squared deviations from the
  // means while the next time point is computed, just before its rows are
  // overwritten. R does not depend on the time: its mean and deviation,
  // those of the first time point, stay in place.
  std::optional<ColumnMoments> previous;  // the last time point, awaiting pass 2
  std::int64_t previous_i = 0;
  const auto finish = [&](ColumnMoments& moments, std::int64_t i) {
    moments.finish_deviations(r.sim_results, nsim);
    r.beta[i] = r.sim_results[nsim + 1][3] / r.sim_results[nsim + 2][3];
    r.pf_beta[i] = probability_from_beta(r.beta[i]);
  };
  double failures = 0.0;
  r.failures.clear();
  std::string line;
  const auto points = static_cast<std::int64_t>(times.size());
  for (std::int64_t i = 1; i <= points; ++i) {
    const double t = times[static_cast<std::size_t>(i - 1)];
    out.stop_if_cancelled();
    if (before_point) before_point(t);
    r.times[i] = t;
    line = "Simulation cycle number ";
    append_int(line, i, 0);
    line += " \n";
    out.text(line);
    out.progress(static_cast<int>(i), static_cast<int>(points), t, 0, nsim);

    ColumnMoments moments(i == 1 ? 1 : 2);
    // Counted in integers: every partial sum is a whole number below 2^53,
    // which a sum of reals would hold exactly too, in any order.
    std::int64_t count = 0;
    RowStages stages;
    if (previous) {
      stages.before = [&](std::int64_t first, std::int64_t last) { previous->add_squares(r.sim_results, first, last); };
    }
    stages.after = [&](std::int64_t first, std::int64_t last) {
      moments.add_values(r.sim_results, first, last);
      for (std::int64_t j = first; j <= last; ++j) count += r.indicator[j];
    };
    cycle(t, stages);

    if (previous) finish(*previous, previous_i);
    moments.finish_means(r.sim_results, nsim);
    previous = moments;
    previous_i = i;
    failures = static_cast<double>(count);
    r.failures.push_back(count);
    r.pf[i] = failures / static_cast<double>(nsim) * 100;
    const double p = r.pf[i] / 100;
    r.pf_se[i] = std::sqrt(p * (1 - p) / static_cast<double>(nsim));
    out.progress(static_cast<int>(i), static_cast<int>(points), t, nsim, nsim);
  }
  previous->add_squares(r.sim_results, 1, nsim);
  finish(*previous, previous_i);
  r.n_failures = failures;
}

void run_time_series(JobData& job, SeriesResults& r, Console out, const CycleFactory& make_cycle) {
  const double tmin = job.dist_param[1][TIME];
  const double tmax = job.dist_param[2][TIME];
  const double step = time_step(tmin, tmax, job.n_intervals);
  const std::int64_t points = std::int64_t{job.n_intervals} + 1;
  allocate_series_results(r, job.nsim, points);

  // A clock that happens to show one of the few seeds on which the generator
  // stands still moves on to the next usable second; the report shows it.
  if (job.seed_mode == 1) job.seed = first_working_seed(clock_seed());
  if (tmax == 0) job.n_intervals = 0;

  std::vector<double> times;
  for (std::int64_t i = 1; i <= std::int64_t{job.n_intervals} + 1; ++i) {
    times.push_back(time_point(i, job.n_intervals, tmin, step));
  }
  const Cycle cycle = make_cycle(job, r, out);
  run_series(times, job.nsim, cycle, r, out, [&job](double t) { job.dist_param[1][TIME] = t; });
  job.dist_param[1][TIME] = tmin;
}

}  // namespace tbx
