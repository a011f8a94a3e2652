#pragma once
// The simulations of a series, seen as one model per simulation.
//
// Every time point of a job draws the same uniform numbers, so each simulation
// is one fixed set of values (all but the time) and its limit state G(t) is
// a function of the exposure time alone. This adapter runs the cycle engine
// for the time series, keeps it, and then answers, per simulation: G and S
// at any time, the first time point at which it failed, and the
// standard-normal equivalents of the uniform numbers it was drawn from. It is
// the one place that knows how the engine keeps its simulations.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/parallel.hpp"
#include "input/job_data.hpp"
#include "job/cycle_engine.hpp"
#include "job/series_results.hpp"
#include "job/time_series.hpp"
#include "model/chloride_model.hpp"

namespace tbx {

class SimulationModel {
 public:
  explicit SimulationModel(int threads = 0) : threads_(threads) {}

  /// The cycles for run_time_series: the engine on `threads` CPUs, with a
  /// record of the time points and of each simulation's failures. The model
  /// must outlive the series.
  CycleFactory cycles();

  /// Binds the series' results (R of each simulation); call after the series.
  /// (The cycles bind them already; kept for callers that attach explicitly.)
  void attach(const SeriesResults& results) { results_ = &results; }

  std::int64_t nsim() const { return nsim_; }
  /// CPUs for the analysis: as many as the series used.
  int threads() const { return threads_ > 0 ? threads_ : available_cpus(); }
  /// The time points of the series, years, in order.
  const std::vector<double>& times() const { return times_; }
  /// Failures per time point.
  const std::vector<std::int64_t>& failures() const { return failures_; }
  /// 1-based index of the first time point at which simulation j failed; 0
  /// if it never did.
  std::int32_t first_failure(std::int64_t j) const { return first_failure_[static_cast<std::size_t>(j - 1)]; }
  /// S of simulation j at the time point before its first failure and at
  /// that one, as the series computed them (only where first_failure(j) > 1).
  double load_before_failure(std::int64_t j) const { return load_before_[static_cast<std::size_t>(j - 1)]; }
  double load_at_failure(std::int64_t j) const { return load_at_[static_cast<std::size_t>(j - 1)]; }
  /// Whether the exposure time itself is random (then G(t) is not one curve
  /// per simulation).
  bool time_random() const;

  /// Whether the age factor is the same for every simulation (n, te, to and
  /// the time deterministic): S_j(t) is then a constant of the simulation
  /// times unit_load(t).
  bool age_shared() const;
  /// S at time t of a simulation whose other factors are all 1.
  double unit_load(double t) const;

  /// R of simulation j (it does not depend on the time).
  double resistance(std::int64_t j) const { return results_->sim_results[j][1]; }

  /// The model of every simulation at one exposure time t.
  class AtTime {
   public:
    double resistance(std::int64_t j) const;
    double load(std::int64_t j) const;
    double limit_state(std::int64_t j) const { return resistance(j) - load(j); }

   private:
    friend class SimulationModel;
    AtTime(const SimulationModel& model, double t);
    const SimulationModel* model_;
    ChlorideModel::TimePoint point_;
  };
  AtTime at(double t) const;

  /// A standard normal variable that some of the model's inputs are
  /// increasing functions of: one per uniform number that a random input
  /// (or the model factor) is drawn from.
  struct Source {
    std::string variable;             ///< the input's name, as in the job file
    std::vector<std::string> drives;  ///< every quantity drawn from it
    int column = 0;                   ///< of the uniform numbers, 1..9
    bool folded = true;               ///< drawn by the normal sampler, whose tails fold
  };
  std::vector<Source> sources() const;
  /// The source's value per simulation (0-based) into z.
  void fill_normals(const Source& source, std::vector<double>& z) const;

  const JobData& job() const { return *job_; }

 private:
  using Engine = CycleEngine<ChlorideModel>;
  void record(std::int64_t first, std::int64_t last);

  int threads_;
  const JobData* job_ = nullptr;
  std::shared_ptr<Engine> engine_;
  const SeriesResults* results_ = nullptr;
  std::int64_t nsim_ = 0;
  std::vector<double> times_;
  std::vector<std::int64_t> failures_;
  std::vector<std::int32_t> first_failure_;
  /// Until a simulation fails: its S at the latest time point; then its S
  /// before the failure. load_at_: S at the failure.
  std::vector<double> load_before_, load_at_;
};

}  // namespace tbx
