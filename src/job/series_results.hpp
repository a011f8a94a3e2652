#pragma once
// What the time series leaves for the reports.

#include <cstdint>
#include <vector>

#include "core/array.hpp"

namespace tbx {

struct SeriesResults {
  IntVector indicator;     ///< [1..nsim], last time point
  RealMatrix sim_results;  ///< [1..nsim+2][1..3]: R, S, G; means; std deviations
  RealVector pf;           ///< per time point, percent
  RealVector pf_se;        ///< per time point, a fraction
  RealVector beta;         ///< per time point
  RealVector pf_beta;      ///< per time point, percent; negative where Beta <= 0
  RealVector times;        ///< per time point, years
  double n_failures = 0.0;  ///< failures of the last time point
  std::vector<std::int64_t> failures;  ///< per time point, 0-based
};

}  // namespace tbx
