#pragma once
// The simulations of a series, seen as one model per simulation.
//
// Every time point of a job draws the same uniform numbers, so each simulation
// is one fixed set of values (all but the time) and its limit state G(t) is
// a function of the exposure time alone. A SimulationModel runs the cycle
// engine for the time series, keeps it, and then answers, per simulation: G
// and S at any time, the first time point at which it failed, and the
// standard-normal equivalents of the uniform numbers it was drawn from. It is
// the one place that knows how the engine keeps its simulations; the limit-
// state model behind it is any that follows limit_state_model.hpp.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/parallel.hpp"
#include "job/series_results.hpp"
#include "job/time_series.hpp"
#include "model/limit_state_model.hpp"

namespace tbx {

class ChlorideModel;
class FibModel;

class SimulationModel {
 public:
  using Source = RandomSource;

  virtual ~SimulationModel() = default;
  SimulationModel(const SimulationModel&) = delete;
  SimulationModel& operator=(const SimulationModel&) = delete;

  /// One time point of the series (the Cycle of run_series): the engine's
  /// run, with a record of each simulation's failures.
  void run(double t, const RowStages& stages);

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
  /// R of simulation j (it does not depend on the time).
  double resistance(std::int64_t j) const { return results_.sim_results[j][1]; }

  /// Whether the exposure time itself is random (then G(t) is not one curve
  /// per simulation).
  virtual bool time_random() const = 0;
  /// Whether S_j(t) is a constant of the simulation times unit_load(t).
  virtual bool age_shared() const = 0;
  /// S at time t of a simulation whose own factors are all 1.
  virtual double unit_load(double t) const = 0;

  /// S of simulation j at time t, with the bits the series gave it at its
  /// time points.
  virtual double load(std::int64_t j, double t) const = 0;
  double limit_state(std::int64_t j, double t) const { return resistance(j) - load(j, t); }

  /// When G of simulation j first becomes negative, where the model knows it
  /// in closed form; NaN where the time is to be searched.
  virtual double initiation_time(std::int64_t j) const = 0;

  /// Per simulation (0-based), the cover below which it fails at time t, mm.
  virtual void cover_loads(double t, std::vector<double>& s) const = 0;
  /// Per simulation (0-based), G at time t: limit_state(j, t) for all.
  virtual void limit_states(double t, std::vector<double>& g) const = 0;
  /// G at time t from the cover loads of cover_loads(t, s), in place: where
  /// the model's cover load is its load, R - S without evaluating S again.
  virtual void limit_states_from_cover_loads(double t, std::vector<double>& s) const = 0;
  /// Whether a limit state g counts as a failure, as the series counts it.
  virtual bool fails(double g) const = 0;
  /// The cover's distribution, as the design cover shifts it.
  virtual CoverDistribution cover() const = 0;

  virtual std::vector<Source> sources() const = 0;
  /// The source's value per simulation (0-based) into z; where `keys` is
  /// given, also keys in the order of the values (equal keys: equal values),
  /// for a rank sort that needs no comparison of doubles. The order holds
  /// where the normal quantile is monotone; a caller checks it.
  virtual void fill_normals(const Source& source, std::vector<double>& z,
                            std::vector<std::uint32_t>* keys = nullptr) const = 0;

  /// G at time t of one simulation drawn from the uniform numbers
  /// u[1..uniforms()], evaluated as the series evaluates it; NaN where the
  /// draw fails. The function may be called from several threads at once.
  using UniformLimitState = std::function<double(const double* u)>;
  virtual UniformLimitState limit_state_of(double t) const = 0;
  /// Uniform numbers per simulation.
  virtual int uniforms() const = 0;
  /// The uniform numbers u[1..uniforms()] of simulation j >= 1 of the job's
  /// generator (j beyond nsim() continues the stream).
  virtual void simulation_uniforms(std::int64_t j, double* u) const = 0;
  /// The value of a source's variable where its uniform number is u, in the
  /// job's units; NaN where the model does not give it.
  virtual double variable_value(const Source& source, double u) const = 0;

 protected:
  SimulationModel(std::int64_t nsim, int threads, const SeriesResults& results);
  virtual void run_engine(double t, const RowStages& stages) = 0;

 private:
  void record(std::int64_t first, std::int64_t last);

  std::int64_t nsim_;
  int threads_;
  const SeriesResults& results_;
  std::vector<double> times_;
  std::vector<std::int64_t> failures_;
  std::vector<std::int32_t> first_failure_;
  /// Until a simulation fails: its S at the latest time point; then its S
  /// before the failure. load_at_: S at the failure.
  std::vector<double> load_before_, load_at_;
};

/// Samples simulations 1..nsim of `model` from `seed` into `results`
/// (allocated already) on `threads` CPUs (0: all), for a series whose
/// console events go to `out`.
std::unique_ptr<SimulationModel> keep_simulations(const ChlorideModel& model, std::int64_t nsim, std::int32_t seed,
                                                  SeriesResults& results, Console out, int threads);
std::unique_ptr<SimulationModel> keep_simulations(const FibModel& model, std::int64_t nsim, std::int32_t seed,
                                                  SeriesResults& results, Console out, int threads);

/// The cycles of a classic job for run_time_series, on `threads` CPUs, whose
/// simulations `into` keeps for the summary; `into` must outlive the series.
CycleFactory summary_cycles(std::unique_ptr<SimulationModel>& into, int threads = 0);

}  // namespace tbx
