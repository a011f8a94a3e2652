#include "job/profile_fit.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/fatal.hpp"
#include "core/parallel.hpp"
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
// Trial D values whose shapes one task computes.
constexpr std::int64_t D_PER_CHUNK = 64;

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
// The shapes, and the passes over D of the trial Cs values, are independent
// of one another and run on all threads; each pass keeps its own first
// smallest sum, and the passes are then taken in order, which finds the
// pair one sweep would.
void fit_profile(const std::int32_t& n_points, const double&, double& Cs, double& Dcoef,
                 const double&, const double& to, const RealVector& profile_depth,
                 const RealVector& profile_cl, int threads) {
  // Neither case has a meaningful fit; reporting the input values as fitted
  // would silently give a wrong analysis.
  if (!(to > 0)) fatal_error(FatalKind::invalid_job, "Profile fit failed - age at testing must be positive");
  const double t = to;
  const std::size_t points = n_points > 0 ? static_cast<std::size_t>(n_points) : 0;
  threads = threads_to_use(threads);

  std::vector<double> trial_d;
  trial_d.reserve(std::size(DECADES) * STEPS_PER_DECADE);
  for (const double base : DECADES) {
    double d = base;
    for (int step = 0; step < STEPS_PER_DECADE; ++step) {
      d = d + base / 100;
      trial_d.push_back(d);
    }
  }
  std::vector<double> shapes(trial_d.size() * points);
  const auto d_count = static_cast<std::int64_t>(trial_d.size());
  for_each_chunk((d_count + D_PER_CHUNK - 1) / D_PER_CHUNK, threads, [&](std::int64_t c) {
    for (std::int64_t i = c * D_PER_CHUNK, last = std::min(d_count, i + D_PER_CHUNK); i < last; ++i) {
      double* shape = &shapes[static_cast<std::size_t>(i) * points];
      for (std::size_t k = 1; k <= points; ++k) {
        shape[k - 1] = profile_shape(profile_depth[static_cast<std::int64_t>(k)],
                                     trial_d[static_cast<std::size_t>(i)] * t);
      }
    }
  });

  std::vector<double> trial_cs;
  double cs_trial = profile_cl[1] - 0.05;
  for (int pass = 0; pass < MAX_CS_PASSES; ++pass) {
    trial_cs.push_back(cs_trial);
    cs_trial = cs_trial + CS_STEP;
    if (cs_trial > CS_LIMIT) break;
  }
  struct Best {
    double error = NO_FIT;
    double d = 0.0;
  };
  std::vector<Best> pass_best(trial_cs.size());
  const double* const measured = points > 0 ? &profile_cl[1] : nullptr;
  for_each_chunk(static_cast<std::int64_t>(trial_cs.size()), threads, [&](std::int64_t pass) {
    const double cs = trial_cs[static_cast<std::size_t>(pass)];
    // In locals, which stay in registers: nothing else is written meanwhile.
    Best best;
    const double* shape = shapes.data();
    for (const double d : trial_d) {
      double sum = 0.0;
      for (std::size_t k = 0; k < points; ++k, ++shape) {
        const double diff = measured[k] - cs * *shape;
        sum += diff * diff;
      }
      if (sum < best.error) best = {sum, d};
    }
    pass_best[static_cast<std::size_t>(pass)] = best;
  });

  double best_error = NO_FIT;
  bool found = false;
  double best_cs = 0.0;
  double best_d = 0.0;
  for (std::size_t pass = 0; pass < trial_cs.size(); ++pass) {
    if (pass_best[pass].error < best_error) {
      best_error = pass_best[pass].error;
      best_cs = trial_cs[pass];
      best_d = pass_best[pass].d;
      found = true;
    }
  }
  if (!found) fatal_error("Profile fit failed - no trial fits the measured profile", 0);
  Cs = best_cs;
  Dcoef = best_d / 1e-12;
}

void apply_profile_fit(JobData& job, RealMatrix& predicted_profile, int threads) {
  // A random n or to enters as the mean of its distribution.
  const double n = distribution_mean(job.dist_type[AGE_N], job.dist_param[1][AGE_N], job.dist_param[2][AGE_N]);
  const double to = distribution_mean(job.dist_type[TO], job.dist_param[1][TO], job.dist_param[2][TO]);
  double cs = job.dist_param[1][CS];
  double dcoef = job.dist_param[1][DCOEF];
  fit_profile(job.n_points, n, cs, dcoef, job.tp, to, job.profile_depth, job.profile_cl, threads);

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
