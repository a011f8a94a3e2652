#pragma once
// The Monte Carlo cycle for a whole series of time points.
//
// Every time point of a job draws the same uniform numbers, so every sampled
// value except the time itself is the same at every time point. The engine
// samples them once, at the first time point, keeps per simulation only what
// the time-dependent part of the model needs (R stays in the results matrix
// itself), and evaluates that part per time point. The results, and the console text, are exactly those of running
// the plain cycle at every time point: warnings and continued-fraction texts
// are recorded and replayed in simulation order at every time point, and a
// beta inversion that fails ends the run at the same point of the output.
//
// Simulations are processed in fixed chunks on all available CPUs; each
// simulation's numbers depend only on its own uniform numbers, so the split
// changes nothing.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/array.hpp"
#include "input/job_data.hpp"
#include "prob/sampling.hpp"

namespace tbx {

class CycleEngine {
 public:
  /// Simulations per chunk: enough to make a chunk's bookkeeping negligible,
  /// few enough that every CPU gets several chunks.
  static constexpr std::int64_t DEFAULT_CHUNK = 1024;

  /// `job` must stay alive and unchanged (but for the current time) while
  /// the engine is used. `threads` 0 means every available CPU. The chunk
  /// size changes nothing in the results.
  CycleEngine(const JobData& job, std::FILE* out, int threads = 0,
              std::int64_t chunk_size = DEFAULT_CHUNK);

  /// One time point at time t (years): fills indicator[1..nsim] and rows
  /// 1..nsim of sim_results, and writes the cycle's warnings. R, which does
  /// not depend on the time, is written only when a matrix is seen for the
  /// first time: between calls the caller leaves column 1 as it was.
  void run(double t, IntVector& indicator, RealMatrix& sim_results);

  /// What the engine keeps of every simulation between time points (1-based,
  /// valid after the first run() while the engine lives), so that an
  /// analysis can evaluate the model at other times. A span is empty where
  /// that variable is deterministic: its value is then the job's. R stays in
  /// column 1 of the caller's results matrix; u_time is the time's uniform
  /// number where the time is random.
  struct Retained {
    Span1<const double> depth, prefix, model_factor, n, te_years, to_years, u_time;
  };
  Retained retained() const {
    const auto view = [](Span1<double> s) { return Span1<const double>(s.begin(), s.size()); };
    return {view(depth_), view(prefix_),   view(model_factor_), view(n_),
            view(te_years_), view(to_years_), view(u_time_)};
  }

 private:
  /// Console events of one simulation, in the order they happen.
  struct Note {
    std::int64_t sim = 0;
    std::int32_t texts_before_time = 0;  ///< continued-fraction texts, variables 1-5
    std::int32_t texts_after_time = 0;   ///< variables 7-9
    std::int8_t fails_at = 0;            ///< beta inversion failed: 1 before t, 2 after t
    bool negative_dcoef = false;
    double dcoef = 0.0;
    bool fails() const { return fails_at != 0; }
  };
  struct TimeNote {
    std::int64_t sim = 0;
    std::int32_t texts = 0;
    bool fails = false;
  };

  void sample_fixed_part(RealMatrix& sim_results);
  void sample_chunk(std::int64_t chunk, std::int32_t seed, RealMatrix& sim_results);
  void evaluate_chunk(std::int64_t chunk, double t, const std::optional<VariableSampler>& time_sampler,
                      double shared_age, IntVector& indicator, RealMatrix& sim_results,
                      std::vector<TimeNote>& notes) const;
  void replay(const std::vector<std::vector<TimeNote>>& time_notes);
  std::int64_t chunk_count() const { return (nsim_ + chunk_ - 1) / chunk_; }

  const JobData& job_;
  std::FILE* out_;
  int threads_;
  std::int64_t chunk_;
  std::int64_t nsim_;
  std::vector<VariableSampler> samplers_;  // [0..8] for variables 1..9
  bool time_random_, n_random_, te_random_, to_random_;
  /// The age factor is the same for every simulation of a time point.
  bool age_is_shared() const { return !time_random_ && !n_random_ && !te_random_ && !to_random_; }
  bool temp_from_core8_;
  const double* resistance_in_ = nullptr;  // where R of simulation 1 was written

  /// Memory for the per-simulation arrays, in huge pages where possible.
  class PerSimulation {
   public:
    PerSimulation() = default;
    PerSimulation(const PerSimulation&) = delete;
    PerSimulation& operator=(const PerSimulation&) = delete;
    ~PerSimulation();
    /// Room for `doubles` zeros; ends the run if there is none.
    double* allocate(std::int64_t doubles);

   private:
    void* map_ = nullptr;
    std::size_t mapped_ = 0;
  };

  // Per simulation, indices 1..nsim, all in one block.
  std::unique_ptr<PerSimulation> per_simulation_;
  Span1<double> depth_{nullptr, 0}, prefix_{nullptr, 0}, model_factor_{nullptr, 0};
  // Only when that variable is random.
  Span1<double> n_{nullptr, 0}, te_years_{nullptr, 0}, to_years_{nullptr, 0}, u_time_{nullptr, 0};
  std::vector<std::vector<Note>> notes_;          // per chunk, ascending
  std::string console_;
};

}  // namespace tbx
