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

double normal_quantile_wichura(double p) {
  // M. J. Wichura, "Algorithm AS 241: The percentage points of the normal
  // distribution", Applied Statistics 37 (1988) 477-484.
  if (std::isnan(p)) return p;
  if (p <= 0) return -std::numeric_limits<double>::infinity();
  if (p >= 1) return std::numeric_limits<double>::infinity();
  const double q = p - 0.5;
  if (std::fabs(q) <= 0.425) {
    const double r = 0.180625 - q * q;
    return q *
           (((((((2.5090809287301226727e+3 * r + 3.3430575583588128105e+4) * r + 6.7265770927008700853e+4) * r +
                4.5921953931549871457e+4) * r + 1.3731693765509461125e+4) * r + 1.9715909503065514427e+3) * r +
             1.3314166789178437745e+2) * r + 3.3871328727963666080e+0) /
           (((((((5.2264952788528545610e+3 * r + 2.8729085735721942674e+4) * r + 3.9307895800092710610e+4) * r +
                2.1213794301586595867e+4) * r + 5.3941960214247511077e+3) * r + 6.8718700749205790830e+2) * r +
             4.2313330701600911252e+1) * r + 1.0);
  }
  double r = std::sqrt(-std::log(q < 0 ? p : 1 - p));
  double z;
  if (r <= 5) {
    r -= 1.6;
    z = (((((((7.74545014278341407640e-4 * r + 2.27238449892691845833e-2) * r + 2.41780725177450611770e-1) * r +
             1.27045825245236838258e+0) * r + 3.64784832476320460504e+0) * r + 5.76949722146069140550e+0) * r +
          4.63033784615654529590e+0) * r + 1.42343711074968357734e+0) /
        (((((((1.05075007164441684324e-9 * r + 5.47593808499534494600e-4) * r + 1.51986665636164571966e-2) * r +
             1.48103976427480074590e-1) * r + 6.89767334985100004550e-1) * r + 1.67638483018380384940e+0) * r +
          2.05319162663775882187e+0) * r + 1.0);
  } else {
    r -= 5;
    z = (((((((2.01033439929228813265e-7 * r + 2.71155556874348757815e-5) * r + 1.24266094738807843860e-3) * r +
             2.65321895265761230930e-2) * r + 2.96560571828504891230e-1) * r + 1.78482653991729133580e+0) * r +
          5.46378491116411436990e+0) * r + 6.65790464350110377720e+0) /
        (((((((2.04426310338993978564e-15 * r + 1.42151175831644588870e-7) * r + 1.84631831751005468180e-5) * r +
             7.86869131145613259100e-4) * r + 1.48753612908506148525e-2) * r + 1.36929880922735805310e-1) * r +
          5.99832206555887937690e-1) * r + 1.0);
  }
  return q < 0 ? -z : z;
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
