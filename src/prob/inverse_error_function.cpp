#include "prob/inverse_error_function.hpp"

#include <array>
#include <cmath>

#include "prob/cody_erf.hpp"
#include "prob/polynomial.hpp"

namespace tbx {

namespace {

// Arguments beyond +-0.999 are replaced by 0.9, not clamped to 0.999: a
// normal variate from u < 0.0005 or u > 0.9995 thus takes the 5 % or 95 %
// quantile. The callers' results are defined with this rule.
constexpr double ARGUMENT_LIMIT = 0.999;
constexpr double SUBSTITUTE_ARGUMENT = 0.9;
constexpr double CENTRAL_FORM_END = 0.7;
constexpr int NEWTON_STEPS = 2;

/// The initial estimate, within 7e-7 of erf^-1(w) for 0 <= w <= 0.999 (the
/// largest error at w = 0.7, where the two forms meet).
double initial_estimate(double w) {
  if (w <= CENTRAL_FORM_END) {
    // w·P(w^2)/Q(w^2); the tables run from the highest power down.
    constexpr std::array<double, 4> CENTRAL_NUM = {-0.140543331, 0.914624893, -1.645349621,
                                                   0.886226899};
    constexpr std::array<double, 5> CENTRAL_DEN = {0.012229801, -0.329097515, 1.442710462,
                                                   -2.118377725, 1.0};
    const double z = w * w;
    return w * horner(z, CENTRAL_NUM) / horner(z, CENTRAL_DEN);
  }
  // P(t)/Q(t) in t = sqrt(-ln((1 - w)/2)), the tail variable.
  constexpr std::array<double, 4> TAIL_NUM = {1.641345311, 3.429567803, -1.624906493,
                                              -1.970840454};
  constexpr std::array<double, 3> TAIL_DEN = {1.6370678, 3.5438892, 1.0};
  const double t = std::sqrt(-std::log((1.0 - w) / 2.0));
  return horner(t, TAIL_NUM) / horner(t, TAIL_DEN);
}

/// erf(x) for 0 <= x <= 4 (Newton never leaves [0, 2.33]). Range 1 takes erf
/// from its own form rather than as 1 - erfc, which keeps full relative
/// accuracy for small x.
double erf_for_newton(double x) {
  if (x <= detail::ERF_RANGE1_END) return detail::erf_range1(x);
  return 1.0 - detail::erfc_range2(x);
}

double argument(double y) {
  return (y < -ARGUMENT_LIMIT || y > ARGUMENT_LIMIT) ? SUBSTITUTE_ARGUMENT : std::fabs(y);
}

// Newton-Raphson on erf(x) = w, d/dx erf(x) = (2/sqrt(pi))·exp(-x^2). pi
// to fifteen significant digits, as in error_function.
double newton_step(double x, double w) {
  const double two_over_sqrt_pi = 2.0 / std::sqrt(3.14159265358979);
  return x - (erf_for_newton(x) - w) / (two_over_sqrt_pi * std::exp(-x * x));
}

constexpr int LANES = 4;

}  // namespace

void inverse_error_function(double& y) {
  const double w = argument(y);
  double x = initial_estimate(w);
  for (int step = 0; step < NEWTON_STEPS; ++step) x = newton_step(x, w);
  y = (y < 0.0 ? -1.0 : 1.0) * x;
}

void inverse_error_functions(double* y, int n) {
  for (int first = 0; first < n; first += LANES) {
    const int lanes = n - first < LANES ? n - first : LANES;
    double* const v = y + first;
    double w[LANES] = {};
    double x[LANES] = {};
    for (int l = 0; l < lanes; ++l) {
      w[l] = argument(v[l]);
      x[l] = initial_estimate(w[l]);
    }
    for (int step = 0; step < NEWTON_STEPS; ++step) {
      for (int l = 0; l < lanes; ++l) x[l] = newton_step(x[l], w[l]);
    }
    for (int l = 0; l < lanes; ++l) v[l] = (v[l] < 0.0 ? -1.0 : 1.0) * x[l];
  }
}

}  // namespace tbx
