#pragma once
// The series of time points and its per-time-point results.

#include <cstdint>
#include <functional>
#include <vector>

#include "core/run_events.hpp"
#include "input/job_data.hpp"
#include "job/row_stages.hpp"
#include "job/series_results.hpp"

namespace tbx {

/// floor(|tmax - tmin| / n_intervals), at least 1 year.
double time_step(double tmin, double tmax, std::int32_t n_intervals);

/// The time of point i (1-based): the first point of a series of more than
/// one interval is tmin, or 1 year when tmin is 0; the others are
/// (i - 1) * step + tmin.
double time_point(std::int64_t i, std::int32_t n_intervals, double tmin, double step);

/// The calendar time in whole seconds, reduced to its low 32 bits.
std::int32_t clock_seed();

/// One time point at time t: fills indicator[1..nsim] and rows 1..nsim of
/// sim_results of the results the cycle was made for.
using Cycle = std::function<void(double t, const RowStages& stages)>;
/// Makes a job's cycle once its seed is final and the results are allocated;
/// console events go to `out`. The job may change after (its time parameter
/// does, during the series); the cycle keeps what it needs.
using CycleFactory = std::function<Cycle(const JobData& job, SeriesResults& results, Console out)>;

/// The cycle engine on `threads` threads (0: every available CPU), in
/// chunks of `chunk_size` simulations (0: the engine's default).
CycleFactory engine_cycles(int threads = 0, std::int64_t chunk_size = 0);
/// The plain cycle, every time point drawn and sampled afresh on one thread:
/// the yardstick the engine is measured and checked against.
CycleFactory plain_cycles();

/// Allocates the results of a series of `points` time points.
void allocate_series_results(SeriesResults& r, std::int64_t nsim, std::int64_t points);

/// Runs `cycle` at every time of `times` and fills the per-time-point
/// results (allocated already), announcing each time point on `out` and
/// reporting its progress there; before each time point, ends the run where
/// `out` asks to cancel it. `before_point`, where given, is called with each
/// time first.
void run_series(const std::vector<double>& times, std::int64_t nsim, const Cycle& cycle, SeriesResults& r,
                Console out, const std::function<void(double t)>& before_point = {});

/// Runs every time point: allocates the results, replaces the seed by the
/// clock for seed_mode 1, sets n_intervals to 0 for a single time point, and
/// leaves the first parameter of t as it found it. Progress and warnings go
/// to `out`.
void run_time_series(JobData& job, SeriesResults& results, Console out, const CycleFactory& make_cycle);
/// The same with the cycle engine on `threads` CPUs (0: all available).
inline void run_time_series(JobData& job, SeriesResults& results, Console out = stdout, int threads = 0) {
  run_time_series(job, results, out, engine_cycles(threads));
}

/// Means and standard deviations of R, S and G (of the columns from
/// first_column on) into rows nsim+1 and nsim+2.
void column_statistics(RealMatrix& sim_results, std::int64_t nsim, int first_column = 1);

/// 100 * Phi(-beta) for beta > 0; -100 * Phi(beta) for beta <= 0.
double probability_from_beta(double beta);

}  // namespace tbx
