#pragma once
// Everything a job file holds, as the reader leaves it.

#include <cstdint>
#include <string>

#include "core/array.hpp"
#include "prob/distribution.hpp"

namespace tbx {

/// Variable indices, in file order.
enum Variable : int { XC = 1, DCOEF, CCR, CS, AGE_N, TIME, TO, TEMP, TE };
inline constexpr int N_VARIABLES = 9;
inline constexpr int N_PROFILE = 12;

struct JobData {
  std::string project_name;
  std::int32_t seed_mode = 0;
  std::int32_t analysis_mode = 0;
  std::int32_t n_intervals = 0;
  std::int32_t n_points = 0;
  std::int32_t predict_profile = 0;
  IntVector dist_code;             ///< [1..9]: the codes as the file has them
  Array1<Distribution> dist_type;  ///< [1..9]: their types; deterministic for an unknown code,
                                   ///< which validation refuses
  RealMatrix dist_param;   ///< [1..2][1..9]: first and second parameters
  RealVector profile_depth;  ///< [1..12], cm
  RealVector profile_cl;     ///< [1..12]
  std::int32_t nsim = 0;
  std::int32_t seed = 0;
  double tp = 0.0;  ///< days; an integer in the file
};

/// Allocates the job's arrays, in the order the driver owns them.
inline void alloc_job_arrays(JobData& job) {
  alloc_ivector(job.dist_code, N_VARIABLES);
  job.dist_type = Array1<Distribution>(N_VARIABLES);
  alloc_matrix(job.dist_param, 2, N_VARIABLES);
  alloc_vector(job.profile_depth, N_PROFILE);
  alloc_vector(job.profile_cl, N_PROFILE);
}

}  // namespace tbx
