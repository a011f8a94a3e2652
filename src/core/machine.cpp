#include "core/machine.hpp"

#include <algorithm>

#if defined(__EMSCRIPTEN__)
#include <emscripten/heap.h>
#elif defined(__linux__)
#include <sched.h>
#include <sys/sysinfo.h>
#endif

namespace tbx {

int cpus_allowed() {
  if (!THREADS_AVAILABLE) return 1;
#if defined(__linux__)
  // The affinity mask, so that taskset and batch schedulers limit the program.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return 0;
#else
  return 0;
#endif
}

double memory_size() {
#if defined(__EMSCRIPTEN__)
  return static_cast<double>(emscripten_get_heap_max());
#elif defined(__linux__)
  struct sysinfo info {};
  if (::sysinfo(&info) == 0) {
    return (static_cast<double>(info.totalram) + static_cast<double>(info.totalswap)) * info.mem_unit;
  }
  return 0;
#else
  return 0;
#endif
}

}  // namespace tbx
