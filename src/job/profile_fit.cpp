#include "job/profile_fit.hpp"

#include <cmath>
#include <vector>

#include "core/fatal.hpp"
#include "prob/error_function.hpp"

namespace tbx {

namespace {

constexpr double SECONDS_PER_DAY_FACTORS[] = {24, 60, 60};
constexpr double DECADES[] = {1e-14, 1e-13, 1e-12, 1e-11, 1e-10};
constexpr int STEPS_PER_DECADE = 901;
constexpr int MAX_CS_PASSES = 200;
constexpr double CS_STEP = 0.01;
constexpr double CS_LIMIT = 2.0;
constexpr double NO_FIT = 1e10;

// erfc((depth / 100) / (2 * sqrt(D * T * 24 * 60 * 60))): the profile shape
// for unit surface content, depth in cm, D in m2/s, T in days.
double profile_shape(double depth_cm, double d_times_t) {
  double seconds = d_times_t;
  for (const double f : SECONDS_PER_DAY_FACTORS) seconds = seconds * f;
  double z = (depth_cm / 100) / (2 * std::sqrt(seconds));
  error_function(z);
  return z;
}

}  // namespace

double distribution_mean(Distribution type, double a, double b) {
  switch (type) {
    case Distribution::normal:
    case Distribution::deterministic: return a;
    case Distribution::lognormal: return std::exp(a + b * b / 2.0);
    case Distribution::beta: return a / (a + b);
  }
  return a;  // not reached: every type is named above
}

// The scan: for each trial Cs (from the first measurement less 0.05, in
// steps of 0.01 by repeated addition, while not above 2.0 and at most 200 of
// them), each decade 1e-14 .. 1e-10 of D, and D from 1.01 to 10.01 times the
// decade in steps of a hundredth (again by repeated addition), the sum of
// squared differences; the first strictly smallest sum wins. The profile shape
// at each D does not depend on Cs, so it is computed once per D and depth.
void fit_profile(const std::int32_t& n_points, const double&, double& Cs, double& Dcoef,
                 const double&, const double& to, const RealVector& profile_depth,
                 const RealVector& profile_cl) {
  // Neither case has a meaningful fit; reporting the input values as fitted
  // would silently give a wrong analysis.
  if (!(to > 0)) fatal_error("Profile fit failed - age at testing must be positive", 0);
  const double t = to;
  const std::size_t points = n_points > 0 ? static_cast<std::size_t>(n_points) : 0;
  std::vector<double> trial_d;
  trial_d.reserve(std::size(DECADES) * STEPS_PER_DECADE);
  std::vector<double> shapes;
  shapes.reserve(trial_d.capacity() * points);
  for (const double base : DECADES) {
    double d = base;
    for (int step = 0; step < STEPS_PER_DECADE; ++step) {
      d = d + base / 100;
      trial_d.push_back(d);
      for (std::size_t k = 1; k <= points; ++k) {
        shapes.push_back(profile_shape(profile_depth[static_cast<std::int64_t>(k)], d * t));
      }
    }
  }

  double cs_trial = profile_cl[1] - 0.05;
  double best_error = NO_FIT;
  bool found = false;
  double best_cs = 0.0;
  double best_d = 0.0;
  for (int pass = 0; pass < MAX_CS_PASSES; ++pass) {
    const double* shape = shapes.data();
    for (const double d : trial_d) {
      double sum = 0.0;
      for (std::size_t k = 1; k <= points; ++k, ++shape) {
        const double diff = profile_cl[static_cast<std::int64_t>(k)] - cs_trial * *shape;
        sum += diff * diff;
      }
      if (sum < best_error) {
        best_error = sum;
        best_cs = cs_trial;
        best_d = d;
        found = true;
      }
    }
    cs_trial = cs_trial + CS_STEP;
    if (cs_trial > CS_LIMIT) break;
  }
  if (!found) fatal_error("Profile fit failed - no trial fits the measured profile", 0);
  Cs = best_cs;
  Dcoef = best_d / 1e-12;
}

void apply_profile_fit(JobData& job, RealMatrix& predicted_profile) {
  // A random n or to enters as the mean of its distribution.
  const double n = distribution_mean(job.dist_type[AGE_N], job.dist_param[1][AGE_N], job.dist_param[2][AGE_N]);
  const double to = distribution_mean(job.dist_type[TO], job.dist_param[1][TO], job.dist_param[2][TO]);
  double cs = job.dist_param[1][CS];
  double dcoef = job.dist_param[1][DCOEF];
  fit_profile(job.n_points, n, cs, dcoef, job.tp, to, job.profile_depth, job.profile_cl);

  job.dist_param[1][CS] = cs;
  job.dist_param[1][DCOEF] = dcoef;
  job.dist_param[2][CS] = cs / 10;
  job.dist_param[2][DCOEF] = dcoef / 10;
  job.dist_type[CS] = Distribution::normal;
  job.dist_type[DCOEF] = Distribution::normal;
  if (job.predict_profile != 1) return;

  const double age = std::pow(job.tp / to, n);
  const double d1 = age * dcoef;
  const double days = job.tp + to;
  for (std::int64_t k = 1; k <= job.n_points; ++k) {
    const double depth = job.profile_depth[k];
    predicted_profile[1][k] = job.dist_param[1][CS] * profile_shape(depth, d1 * 1e-12 * days);
    predicted_profile[2][k] = job.dist_param[1][CS] * profile_shape(depth, dcoef * 1e-12 * days);
  }
}

}  // namespace tbx
