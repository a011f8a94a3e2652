#pragma once
// Running independent chunks of work on the CPUs the process may use.

#include <cstdint>
#include <functional>

namespace tbx {

/// The number of CPUs in the process's affinity mask (at least 1), so that
/// taskset and batch schedulers limit the program without an option of its own.
int available_cpus();

/// Calls work(c) once for every chunk c in [0, n_chunks), on up to `threads`
/// threads. Returns when all calls have finished; an exception thrown by a
/// call is rethrown here after every thread has stopped.
void for_each_chunk(std::int64_t n_chunks, int threads, const std::function<void(std::int64_t)>& work);

}  // namespace tbx
