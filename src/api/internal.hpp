#pragma once
// What the console program needs of the library beyond its public
// interface: its own place in a run, and the files in a folder it holds open.

#include <functional>

#include "job/time_series.hpp"
#include "tbxrun/tbxrun.hpp"

namespace tbxrun::internal {

/// What a caller adds to run().
struct RunHooks {
  /// Called once every check of the job has passed, right before the
  /// simulation starts (the console checks its output files there and
  /// announces the simulation).
  std::function<void()> before_simulation;
  /// The cycles of a classic series without a summary; empty: the cycle
  /// engine on the settings' threads.
  tbx::CycleFactory cycles;
};

/// run() with the hooks.
Results run_job(const Job& job, const Settings& settings, Observer* observer, const RunHooks& hooks);

/// Ends the run, as writing would, where a file the results of `job` go to
/// could not be written in the folder `folder_fd` (with the summary files
/// where `summary`); writes nothing.
void check_writable(const Job& job, bool summary, int folder_fd);

/// write() into the folder open as `folder_fd`; with `sync`, each file and
/// the folder are flushed to disk before it returns.
void write_files(const Results& results, int folder_fd, bool sync);

}  // namespace tbxrun::internal
