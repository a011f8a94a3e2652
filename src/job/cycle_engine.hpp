#pragma once
// The Monte Carlo cycle for a whole series of time points.
//
// Every time point of a job draws the same uniform numbers, so every sampled
// value except the exposure time is the same at every time point. The engine
// samples each simulation once, when it is made, keeps R in the results
// matrix and what the model's load needs per simulation (only the entries
// that differ between simulations), and evaluates the load per time point.
// The results, and the console text, are exactly those of the plain cycle
// (plain_cycle.hpp) at every time point: the model's console events are
// recorded and replayed in simulation order at every time point, and a
// failing inversion ends the run at the same point of the output.
//
// Simulations are processed in fixed chunks on the given number of threads;
// each simulation's numbers depend only on its own uniform numbers, so the
// split changes nothing.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/array.hpp"
#include "core/pages.hpp"
#include "core/run_events.hpp"
#include "job/row_stages.hpp"
#include "model/limit_state_model.hpp"

namespace tbx {

template <typename Model>
class CycleEngine {
 public:
  /// Simulations per chunk: enough to make a chunk's bookkeeping negligible,
  /// few enough that every thread gets several chunks.
  static constexpr std::int64_t DEFAULT_CHUNK = 1024;

  /// Samples simulations 1..nsim from `seed` and writes their R to column 1
  /// of sim_results, which the engine then fills, with indicator, at every
  /// run(). Both must outlive the engine; nobody else writes them meanwhile.
  /// Console events go to `out`, at run(), with each warning as data where
  /// `out` takes it. The chunk size (0: the default)
  /// changes nothing in the results.
  CycleEngine(const Model& model, std::int64_t nsim, std::int32_t seed, IntVector& indicator,
              RealMatrix& sim_results, Console out, int threads, std::int64_t chunk_size = DEFAULT_CHUNK);
  CycleEngine(const CycleEngine&) = delete;
  CycleEngine& operator=(const CycleEngine&) = delete;

  /// One time point at time t (years): S and G into columns 2 and 3 of
  /// rows 1..nsim, I into indicator[1..nsim], the console events in order.
  /// The stages run chunk by chunk, overlapping the evaluation.
  void run(double t, const RowStages& stages = {});

  /// Simulation j's kept values where they lie: row[k] is entry k of the
  /// model's Kept. Valid while the engine lives, for j in 1..nsim.
  class KeptRow {
   public:
    double operator[](int k) const {
      const auto c = static_cast<std::size_t>(k);
      return engine_->columns_[c][index_ * engine_->steps_[c]];
    }

   private:
    friend class CycleEngine;
    KeptRow(const CycleEngine* engine, std::int64_t index) : engine_(engine), index_(index) {}
    const CycleEngine* engine_;
    std::int64_t index_;  // j - 1
  };
  KeptRow row(std::int64_t j) const { return KeptRow(this, j - 1); }
  /// The model the simulations were sampled from, to evaluate them at other
  /// times; R stays in column 1 of the caller's results matrix.
  const Model& model() const { return model_; }

 private:
  struct Note {
    std::int64_t sim = 0;
    SampleNotes events;
  };
  struct TimeNote {
    std::int64_t sim = 0;
    std::int32_t texts = 0;
    bool fails = false;
  };

  // The work that runs in parallel, kept out of line so that a profile names
  // it (bench/run.sh measures the serial share that way).
  [[gnu::noinline]] void sample_chunk(std::int64_t chunk, std::int32_t seed);
  [[gnu::noinline]] void evaluate_chunk(std::int64_t chunk, const typename Model::TimePoint& point,
                                        std::vector<TimeNote>& notes);
  void replay(const std::vector<std::vector<TimeNote>>& time_notes);
  std::int64_t chunk_count() const { return (nsim_ + chunk_ - 1) / chunk_; }
  std::int64_t first_of(std::int64_t chunk) const { return chunk * chunk_ + 1; }
  std::int64_t last_of(std::int64_t chunk) const;

  const Model model_;
  const std::int64_t nsim_;
  IntVector& indicator_;
  RealMatrix& sim_results_;
  Console out_;
  const int threads_;
  const std::int64_t chunk_;

  // The kept entries that differ between simulations, each a column of
  // nsim values in one block; the others are the model's constants, read
  // through a column of step 0.
  std::vector<int> varying_;
  PageBlock block_;
  std::array<const double*, Model::KEPT> columns_{};
  std::array<std::int64_t, Model::KEPT> steps_{};
  std::vector<std::vector<Note>> notes_;  // per chunk, ascending
  std::string console_;
  std::vector<RunWarning> warnings_;  // of the console text not yet written
  int point_ = 0;                     // time points run so far
};

}  // namespace tbx
