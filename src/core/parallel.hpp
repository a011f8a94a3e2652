#pragma once
// Running independent chunks of work on the CPUs the process may use.
//
// The helper threads are started once, on first use, and then wait for work,
// so that a job's many short parallel steps (one or two per time point, one
// per block of report lines) cost no thread launches. The calling thread
// always takes a share of the work itself.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tbx {

/// The number of CPUs in the process's affinity mask (at least 1), so that
/// taskset and batch schedulers limit the program without an option of its own.
int available_cpus();

/// `requested` threads where it is positive, else available_cpus().
inline int threads_to_use(int requested) { return requested > 0 ? requested : available_cpus(); }

/// Calls work(c) once for every chunk c in [0, n_chunks), on up to `threads`
/// threads. Returns when all calls have finished; an exception thrown by a
/// call is rethrown here after every thread has stopped (chunks not yet
/// started are then skipped).
void for_each_chunk(std::int64_t n_chunks, int threads, const std::function<void(std::int64_t)>& work);

/// Calls produce(c) for every chunk on up to `threads` threads, and
/// consume(c) for c = 0, 1, 2, ... in that order, one at a time (on whichever
/// thread is free), each once produce(c) has returned. No chunk is produced
/// before chunk c - `window` has been consumed, so a caller can keep `window`
/// buffers and give chunk c the buffer c % window. An exception from either
/// function stops the work and is rethrown here once every thread has
/// stopped.
void for_each_chunk_in_order(std::int64_t n_chunks, int threads, int window,
                             const std::function<void(std::int64_t)>& produce,
                             const std::function<void(std::int64_t)>& consume);

/// The same with a third stage before the others: prepare(c) for c = 0, 1,
/// 2, ... in that order, one at a time, and produce(c) only once prepare(c)
/// has returned. A step that must see what an earlier pass left in a chunk
/// before produce() overwrites it, and one that must see what produce()
/// wrote, both in chunk order, so overlap with producing the chunks between
/// them.
void for_each_chunk_in_order(std::int64_t n_chunks, int threads, int window,
                             const std::function<void(std::int64_t)>& prepare,
                             const std::function<void(std::int64_t)>& produce,
                             const std::function<void(std::int64_t)>& consume);

/// The same three steps, but each chunk's steps on one thread, one after the
/// other: prepare(c) once prepare(c - 1) has returned, then produce(c), then
/// consume(c) once consume(c - 1) has returned. Threads take the chunks in
/// order. For steps that read the memory produce() writes: it stays in one
/// CPU's cache instead of moving to another CPU and back. Either of prepare
/// and consume may be empty. An exception from any step stops the work and
/// is rethrown here once every thread has stopped.
void for_each_chunk_in_sequence(std::int64_t n_chunks, int threads, const std::function<void(std::int64_t)>& prepare,
                                const std::function<void(std::int64_t)>& produce,
                                const std::function<void(std::int64_t)>& consume);

}  // namespace tbx
