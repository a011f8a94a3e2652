#include "job/memory_check.hpp"

#include <sys/resource.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/fatal.hpp"
#include "core/number_format.hpp"
#include "model/chloride_model.hpp"

namespace tbx {

double memory_needed(const JobData& job, bool summary, int threads) {
  const ChlorideModel model(job);
  return series_memory_needed(static_cast<double>(job.nsim), static_cast<double>(job.n_intervals) + 1,
                              kept_per_simulation(model), summary ? summary_bytes_per_simulation(model, threads) : 0);
}

double series_memory_needed(double nsim, double points, double kept, double extra) {
  // In reals, which hold any of these counts and products closely enough.
  nsim = std::max(nsim, 0.0);
  points = std::max(points, 1.0);
  const double indicator = nsim * sizeof(std::int32_t);
  const double sim_results = (nsim + 2) * 3 * sizeof(double);
  const double series = 5 * points * sizeof(double);
  const double per_simulation = (kept * sizeof(double) + extra) * nsim;
  return PROGRAM_BYTES + indicator + sim_results + series + per_simulation;
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
  const double available = memory_available();
  if (bytes <= available) return;
  // The first line as for a failed allocation, which scripts look for.
  std::string message = std::string(MEMORY_ALLOCATION_FAILED) + "\nThe run needs ";
  append_fixed(message, std::ceil(bytes / 1e6), 0, 0);
  message += " MB of memory; the process may have ";
  append_fixed(message, std::floor(available / 1e6), 0, 0);
  message += " MB.";
  fatal_error(FatalKind::out_of_memory, message);
}

}  // namespace tbx
