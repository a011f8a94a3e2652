#pragma once
// A job too large for the machine is refused before anything is allocated,
// rather than growing until the system ends the process.

#include <algorithm>

#include "input/job_data.hpp"

namespace tbx {

/// Bytes the job needs at the least: the time series' arrays (indicator, the
/// table of R, S and G, the five per-time-point vectors) and the engine's
/// per-simulation table (three reals per simulation at the least).
double memory_needed(const JobData& job, bool summary = false);
/// The same for `nsim` simulations at `points` time points of a model that
/// keeps `kept` reals per simulation, and `extra` more bytes per simulation.
double series_memory_needed(double nsim, double points, double kept, double extra = 0);

/// The reals the cycle engine keeps per simulation of `model`: its kept
/// values that differ between simulations.
template <class Model>
double kept_per_simulation(const Model& model) {
  const auto& varies = model.varies();
  return static_cast<double>(std::count(varies.begin(), varies.end(), true));
}

/// Bytes the process can have: physical memory plus swap, or less under an
/// address-space limit.
double memory_available();

/// Ends the run with "Memory allocation failed", and a line with both
/// amounts, if a job needs `bytes` and the process can have less.
void check_memory(double bytes);

}  // namespace tbx
