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

namespace tbx {

/// Fills rows 1..nsim of sim_results (R, S, G) and indicator[1..nsim] for
/// time t; events go to `out`; a failing inversion ends the run.
template <typename Model>
void plain_cycle(const Model& model, std::int64_t nsim, std::int32_t seed, double t, IntVector& indicator,
                 RealMatrix& sim_results, Console out);

}  // namespace tbx
