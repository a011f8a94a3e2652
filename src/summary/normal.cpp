#include "summary/normal.hpp"

#include <cmath>
#include <limits>

namespace tbx {

namespace {

constexpr double SQRT1_2 = 0.70710678118654752440;
constexpr double INV_SQRT_2PI = 0.39894228040143267794;

/// The lower tail: Phi(z) = q for q in (0, 0.5].
double lower_tail_quantile(double q) {
  // A rational start good to about 5e-4 (Hastings' approximation), then
  // Halley steps on Phi itself; erfc keeps its relative accuracy deep in the
  // tail, so three steps reach full precision.
  const double t = std::sqrt(-2 * std::log(q));
  double z = -(t - (2.515517 + t * (0.802853 + t * 0.010328)) /
                       (1 + t * (1.432788 + t * (0.189269 + t * 0.001308))));
  for (int i = 0; i < 4; ++i) {
    const double density = INV_SQRT_2PI * std::exp(-0.5 * z * z);
    if (!(density > 0)) break;
    const double step = (normal_cdf(z) - q) / density;
    z -= step / (1 + 0.5 * z * step);
    if (std::fabs(step) <= 1e-17 * std::fabs(z)) break;
  }
  return z;
}

}  // namespace

double normal_cdf(double x) { return 0.5 * std::erfc(-x * SQRT1_2); }

double normal_quantile(double p) {
  if (std::isnan(p)) return p;
  if (p <= 0) return -std::numeric_limits<double>::infinity();
  if (p >= 1) return std::numeric_limits<double>::infinity();
  if (p == 0.5) return 0.0;
  return p < 0.5 ? lower_tail_quantile(p) : -lower_tail_quantile(1 - p);
}

}  // namespace tbx
