#pragma once
// One Monte Carlo time point.

#include <cstdint>
#include <cstdio>

#include "core/array.hpp"

namespace tbx {

/// The plain cycle: draws the nsim x 9 table of uniform numbers from a copy
/// of `seed`, samples every simulation and evaluates the limit state into
/// rows 1..nsim of sim_results (R, S, G) and indicator. Warnings go to `out`.
/// The job driver uses the faster CycleEngine, which gives the same bits;
/// this one is the reference it is checked against.
void simulate_cycle(std::int32_t nsim, std::int32_t analysis_mode, std::int32_t seed,
                    const IntVector& dist_type, IntVector& indicator, const RealMatrix& dist_param,
                    RealMatrix& sim_results, std::FILE* out = stdout);

/// The two warning lines for a negative sampled Dcoef.
void append_negative_dcoef_warning(std::string& text, double dcoef);

}  // namespace tbx
