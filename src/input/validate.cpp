#include "input/validate.hpp"

#include "core/fatal.hpp"
#include "prob/random.hpp"

namespace tbx {

namespace {

bool is_distribution_type(std::int32_t code) {
  return code == N || code == LN || code == B || code == D;
}

/// Rule 6 reports a fixed line, whatever line the value stood on.
constexpr int PROFILE_NOT_NULL_LINE = 2;

void check_profile(const JobData& job) {
  for (std::int32_t i = 1; i <= job.n_points; ++i) {
    if (job.profile_depth[i] < 0.0) fatal_error("Error: Profile depth values must be positive", 0);
    if (job.profile_cl[i] < 0.0) fatal_error("Error: Profile [Cl] values must be positive", 0);
    if (i < job.n_points && job.profile_depth[i + 1] < job.profile_depth[i]) {
      fatal_error("Error: Profile depth values must decrease in order", 0);
    }
  }
}

void check_time(const JobData& job, std::FILE* out) {
  const double tmin = job.dist_param[1][TIME];
  const double tmax = job.dist_param[2][TIME];
  if (job.n_intervals == 1) {
    if (tmin < 1.0) fatal_error("Error: First time parameter must be greater or equal to 1", 0);
    if (tmax != 0.0) fatal_error("Error: Second time parameter must be equal to 0", 0);
  } else if (tmax > 0.0 && tmax < tmin) {
    std::fputs("tou aqui!\n", out);
    fatal_error("Error: Maximum time must be greater than minimum", 0);
  }
  if (job.n_intervals > 1 && tmax == 0.0) {
    fatal_error("Error: Time series parameter must be equal to 1", 0);
  }
}

}  // namespace

void validate_job(const JobData& job) { validate_job(job, stdout); }

void validate_job(const JobData& job, std::FILE* out) {
  const std::int32_t mode = job.analysis_mode;
  if (mode != 0 && mode != 1 && mode != 2) {
    fatal_error("Error: Diffusion coefficient parameter invalid.", 0);
  }
  if (job.seed_mode != 0 && job.seed_mode != 1) {
    fatal_error("Error: Intial seed parameter invalid.", 0);
  }
  if (job.n_intervals < 1) fatal_error("Error: Time serious must be greater or equal to 1", 0);
  if (mode == 2 && job.n_points < 5) fatal_error("Error: Minimum profile data invalid.", 0);
  if (mode == 2 && job.n_points > N_PROFILE) {
    fatal_error("Error: Maximum profile data invalid.", 0);
  }
  if (mode != 2 && job.n_points > 0) {
    fatal_error("Error: Profile data must be null.", PROFILE_NOT_NULL_LINE);
  }
  for (int i = 1; i <= N_VARIABLES; ++i) {
    if (!is_distribution_type(job.dist_type[i])) {
      fatal_error("Error: Invalid distribution type", 0);
    }
  }
  check_profile(job);
  if (job.nsim < 0) fatal_error("Error: Number of simulations must be positive", 0);
  check_time(job, out);
  if (job.predict_profile == 1 && job.tp < 1.0) {
    fatal_error("Error: Invalid age for profile prediction", 0);
  }
  // A seed the generator maps to a fixed point would make every draw equal;
  // a clock seed replaces the file's seed later and is not judged here.
  if (job.seed_mode == 0 && seed_is_stuck(job.seed)) {
    fatal_error("Error: Initial seed gives a constant random sequence", 0);
  }
}

}  // namespace tbx
