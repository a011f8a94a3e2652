#pragma once
// Diffusion coefficient and surface content from a measured chloride profile.

#include <cstdint>

#include "core/array.hpp"
#include "model/job_data.hpp"

namespace tbx {

/// Least-squares grid search for the pair (Cs, D) whose error-function
/// profile after `to` days best fits the first n_points measurements
/// (depths in cm). Writes Cs and Dcoef (in 1e-12 m2/s). Ends the run through
/// the fatal path if `to` is not positive or no trial pair fits at all
/// (every sum of squares 1e10 or more). `n` and `tp` are not used. The
/// search runs on `threads` threads (0: every available CPU), with the same
/// result on any number of them.
void fit_profile(const std::int32_t& n_points, const double& n, double& Cs, double& Dcoef,
                 const double& tp, const double& to, const RealVector& profile_depth,
                 const RealVector& profile_cl, int threads = 0);

/// The mean of a variable's distribution: the first parameter for N and D,
/// exp(lambda + zeta^2 / 2) for LN, a / (a + b) for B.
double distribution_mean(Distribution type, double a, double b);

/// Fits the job's profile and makes Dcoef and Cs normal with the fitted means
/// and a tenth of them as standard deviation; with predict_profile 1 fills
/// predicted_profile (row 1 with the age factor, row 2 without) at age tp.
/// The fit runs on `threads` threads (0: every available CPU).
void apply_profile_fit(JobData& job, RealMatrix& predicted_profile, int threads = 0);

}  // namespace tbx
