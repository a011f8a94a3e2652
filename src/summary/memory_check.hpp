#pragma once
// A job too large for the machine is refused before anything is allocated,
// rather than growing until the system ends the process.

#include <algorithm>

#include "core/parallel.hpp"
#include "model/job_data.hpp"
#include "summary/summary.hpp"

namespace tbx {

/// Bytes the job needs at the least: the time series' arrays (indicator, the
/// table of R, S and G, the five per-time-point vectors) and the engine's
/// per-simulation table (three reals per simulation at the least); with the
/// summary, what its analysis keeps and works in on `threads` threads.
double memory_needed(const JobData& job, bool summary = false, int threads = 0);
/// What any run needs before its job: the program, its libraries and stack.
inline constexpr double PROGRAM_BYTES = 8 << 20;

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

/// Bytes per simulation of the summary of `model` on `threads` threads: what
/// it keeps beside the series, the indices of the simulations it ranks, and
/// the work space of each importance task running at once (one per random
/// source): the normals of its source, their ranks, the two buffers of
/// the rank sort and the generator's states with their buckets (four bytes
/// each).
template <class Model>
double summary_bytes_per_simulation(const Model& model, int threads) {
  const double sources = static_cast<double>(model.sources().size());
  const double tasks = std::max(1.0, std::min(static_cast<double>(threads_to_use(threads)), sources));
  return SUMMARY_BYTES_PER_SIMULATION + sizeof(std::size_t) + tasks * 5 * sizeof(double);
}

/// Bytes the process can have: physical memory plus swap, or less under an
/// address-space limit.
double memory_available();

/// Ends the run with "Memory allocation failed", and a line with both
/// amounts, if a job needs `bytes` and the process can have less.
void check_memory(double bytes);

}  // namespace tbx
