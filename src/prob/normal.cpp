#include "prob/normal.hpp"

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

/// The centre, p in (0.25, 0.75): Newton on 0.5 erf(z / sqrt 2) = p - 0.5,
/// where p - 0.5 is exact and erf keeps its relative accuracy near 0, so
/// that values of z near 0 come out to full relative precision.
double central_quantile(double p) {
  const double y = p - 0.5;
  constexpr double SQRT_2PI = 2.50662827463100050242;
  double z = SQRT_2PI * y;
  for (int i = 0; i < 6; ++i) {
    const double density = INV_SQRT_2PI * std::exp(-0.5 * z * z);
    const double step = (0.5 * std::erf(z * SQRT1_2) - y) / density;
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
  if (p > 0.25 && p < 0.75) return central_quantile(p);
  return p < 0.5 ? lower_tail_quantile(p) : -lower_tail_quantile(1 - p);
}

double normal_quantile_fast(double p) {
  // Rational approximations of the centre and of the two tails (P. J.
  // Acklam's), relative error below 1.2e-9.
  static constexpr double A[] = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                                 1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
  static constexpr double B[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                 6.680131188771972e+01,  -1.328068155288572e+01};
  static constexpr double C[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                 -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
  static constexpr double D[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                 3.754408661907416e+00};
  constexpr double LOW = 0.02425;
  auto tail = [](double q) {
    return (((((C[0] * q + C[1]) * q + C[2]) * q + C[3]) * q + C[4]) * q + C[5]) /
           ((((D[0] * q + D[1]) * q + D[2]) * q + D[3]) * q + 1);
  };
  if (p < LOW) return tail(std::sqrt(-2 * std::log(p)));
  if (p > 1 - LOW) return -tail(std::sqrt(-2 * std::log1p(-p)));
  const double q = p - 0.5;
  const double r = q * q;
  return (((((A[0] * r + A[1]) * r + A[2]) * r + A[3]) * r + A[4]) * r + A[5]) * q /
         (((((B[0] * r + B[1]) * r + B[2]) * r + B[3]) * r + B[4]) * r + 1);
}

}  // namespace tbx
