#pragma once
// Jobs built in code, and the bits of a result.

#include <array>
#include <cstdint>
#include <cstring>

#include "model/job_data.hpp"

namespace tbx::test {

/// Short names for tables of variables (`using namespace test::short_names;`).
namespace short_names {
inline constexpr Distribution N = Distribution::normal;
inline constexpr Distribution LN = Distribution::lognormal;
inline constexpr Distribution B = Distribution::beta;
inline constexpr Distribution D = Distribution::deterministic;
}  // namespace short_names
using namespace short_names;

/// One input variable of a job: its distribution and two parameters.
struct VariableSpec {
  Distribution type;
  double a;
  double b;
};

/// The bit pattern of a double: equal bits, NaN included.
inline std::uint64_t bits(double x) {
  std::uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}

/// A job with its arrays allocated as the driver does.
inline JobData allocated_job() {
  JobData job;
  alloc_job_arrays(job);
  return job;
}

/// A valid job of analysis mode 0 with the given variables (xc .. te).
inline JobData make_job(const std::array<VariableSpec, 9>& vars, std::int32_t nsim, std::int32_t n_intervals,
                        std::int32_t seed = 12345) {
  JobData job = allocated_job();
  job.project_name = "test job";
  job.n_intervals = n_intervals;
  job.nsim = nsim;
  job.seed = seed;
  for (int i = 1; i <= 9; ++i) {
    job.dist_type[i] = vars[static_cast<std::size_t>(i - 1)].type;
    job.dist_code[i] = static_cast<std::int32_t>(job.dist_type[i]);
    job.dist_param[1][i] = vars[static_cast<std::size_t>(i - 1)].a;
    job.dist_param[2][i] = vars[static_cast<std::size_t>(i - 1)].b;
  }
  return job;
}

/// A typical splash-zone job: normal cover, lognormal Dcoef, series 0..50.
inline JobData typical_job(std::int32_t nsim = 500, std::int32_t n_intervals = 5) {
  return make_job({{{N, 50, 8}, {LN, 0.693, 0.2}, {N, 0.4, 0.06}, {N, 3.0, 0.4}, {D, 0.45, 0},
                    {D, 0, 50}, {D, 28, 0}, {N, 20, 2}, {D, 28, 0}}},
                  nsim, n_intervals);
}

}  // namespace tbx::test
