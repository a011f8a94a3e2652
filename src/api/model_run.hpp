#pragma once
// What a run does differently for each model, behind the one sequence that
// run() follows for every job (run.cpp).

#include <cstdint>
#include <memory>

#include "api/job_impl.hpp"
#include "core/run_events.hpp"
#include "job/series_results.hpp"
#include "job/time_series.hpp"
#include "summary/summary.hpp"
#include "tbxrun/tbxrun.hpp"

namespace tbxrun::internal {

class ModelRun {
 public:
  virtual ~ModelRun() = default;
  /// What cannot succeed fails now rather than after the simulation: the
  /// job's own rules, the design life against the series, the memory.
  virtual void check(tbx::Console console) = 0;
  /// Simulates the series, keeping the simulations where a summary is to
  /// be made of them.
  virtual void simulate(tbx::Console console) = 0;

  /// After simulate(): the series, its simulations per time point and seed,
  /// and the simulations kept for the summary (null: no summary).
  virtual const tbx::SeriesResults& series() const = 0;
  virtual std::int64_t simulations() const = 0;
  virtual std::int32_t seed() const = 0;
  virtual const tbx::SimulationModel* kept() const = 0;
  virtual const tbx::SummaryOptions& summary_options() const = 0;
  /// The summary's parts that only the model knows: its name and title, and
  /// the inputs as the run used them.
  virtual void describe(tbx::Summary& summary) const = 0;
  /// What write() needs; the run's data move into it.
  virtual std::shared_ptr<Results::Detail> detail() = 0;
};

/// A classic job's run; without a summary the series runs on `cycles`.
std::unique_ptr<ModelRun> classic_run(const Job::Impl& job, const Settings& settings, tbx::CycleFactory cycles);
std::unique_ptr<ModelRun> fib_run(const Job::Impl& job, const Settings& settings);

}  // namespace tbxrun::internal
