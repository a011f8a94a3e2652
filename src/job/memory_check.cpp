#include "job/memory_check.hpp"

#include <sys/resource.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <cstdint>

#include "core/fatal.hpp"
#include "model/chloride_model.hpp"

namespace tbx {

double memory_needed(const JobData& job) {
  return series_memory_needed(static_cast<double>(job.nsim), static_cast<double>(job.n_intervals) + 1,
                              kept_per_simulation(ChlorideModel(job)));
}

double series_memory_needed(double nsim, double points, double kept, double extra) {
  // In reals, which hold any of these counts and products closely enough.
  nsim = std::max(nsim, 0.0);
  points = std::max(points, 1.0);
  const double indicator = nsim * sizeof(std::int32_t);
  const double sim_results = (nsim + 2) * 3 * sizeof(double);
  const double series = 5 * points * sizeof(double);
  const double per_simulation = (kept * sizeof(double) + extra) * nsim;
  return indicator + sim_results + series + per_simulation;
}

double memory_available() {
  double available = 0;
  struct sysinfo info {};
  if (::sysinfo(&info) == 0) {
    available = (static_cast<double>(info.totalram) + static_cast<double>(info.totalswap)) * info.mem_unit;
  }
  if (available <= 0) available = 1e300;  // unknown: no limit from here
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    available = std::min(available, static_cast<double>(limit.rlim_cur));
  }
  return available;
}

void check_memory(double bytes) {
  if (bytes > memory_available()) fatal_error(MEMORY_ALLOCATION_FAILED, 0);
}

}  // namespace tbx
