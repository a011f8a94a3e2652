#pragma once
// What the machine offers the process, asked of the system where it can tell.

namespace tbx {

/// Whether this build can start threads. A WebAssembly build without them
/// cannot: a thread it seems to start never runs, and waiting for it never
/// ends.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
inline constexpr bool THREADS_AVAILABLE = false;
#else
inline constexpr bool THREADS_AVAILABLE = true;
#endif

/// The number of CPUs the process may run on (at least 1), or 0 where the
/// system does not tell.
int cpus_allowed();

/// The memory the process can grow into, in bytes: physical memory and swap,
/// or the largest heap of a WebAssembly build; 0 where the system does not
/// tell.
double memory_size();

}  // namespace tbx
