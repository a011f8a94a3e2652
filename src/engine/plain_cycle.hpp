#pragma once
// The plain cycle: one time point computed from scratch, the way the series
// was first defined. It draws the uniform numbers from a copy of the seed,
// samples every simulation and evaluates G = R - S at time t, one
// simulation after another on one thread, writing each console event as it
// happens. It is built from the same model functions as the cycle engine and
// is the yardstick the engine is checked against (threads, chunks, the
// sampling kept across time points, the replayed console) and timed against.

#include <cstdint>

#include "core/array.hpp"
#include "core/run_events.hpp"
#include "engine/row_stages.hpp"

namespace tbx {

/// Fills rows 1..nsim of sim_results (R, S, G) and indicator[1..nsim] for
/// time t; events go to `out`; a failing inversion ends the run.
template <typename Model>
void plain_cycle(const Model& model, std::int64_t nsim, std::int32_t seed, double t, IntVector& indicator,
                 RealMatrix& sim_results, Console out);

/// The plain cycle made and run the way a CycleEngine is, so that a series
/// takes either: the same arguments once, then run() at every time point.
template <typename Model>
class PlainCycle {
 public:
  /// indicator and sim_results must outlive the cycle.
  PlainCycle(const Model& model, std::int64_t nsim, std::int32_t seed, IntVector& indicator, RealMatrix& sim_results,
             Console out)
      : model_(model), nsim_(nsim), seed_(seed), indicator_(indicator), sim_results_(sim_results), out_(out) {}

  /// One time point at time t; the stages run over all rows at once, before
  /// and after it.
  void run(double t, const RowStages& stages = {}) {
    if (stages.before) stages.before(1, nsim_);
    plain_cycle(model_, nsim_, seed_, t, indicator_, sim_results_, out_);
    if (stages.after) stages.after(1, nsim_);
  }

 private:
  const Model model_;
  const std::int64_t nsim_;
  const std::int32_t seed_;
  IntVector& indicator_;
  RealMatrix& sim_results_;
  Console out_;
};

}  // namespace tbx
