#include "prob/inverse_beta.hpp"

#include <cmath>

#include "core/fatal.hpp"

namespace tbx {

namespace {

constexpr int MAX_NEWTON_STEPS = 100;

}  // namespace

// Newton's method on I_x(a, b) - p = 0 from the mean a/(a + b), with the
// derivative f(x; a, b); a step that would leave (0, 1) goes a tenth of the
// way to the end instead. The stopping tests look at the step only, both
// relative to x and absolute, with tolerance sqrt(eps).
BetaInversion make_beta_inversion(double a, double b) {
  BetaInversion inv;
  inv.shape = make_beta_shape(a, b);
  const double crit = std::sqrt(BETA_EPSILON);
  double xc = inv.shape.a / (inv.shape.a + inv.shape.b);
  if (xc == 0.0) xc = crit;
  if (xc == 1.0) xc = 1.0 - crit;
  inv.start = xc;
  const BetaLogs logs = beta_logs(xc);
  inv.start_cdf = incomplete_beta_value(logs, inv.shape, inv.start_texts);
  inv.start_density = beta_density_value(logs, inv.shape);
  return inv;
}

bool inverse_beta_value(double p, const BetaShape& s, double& x, int& nan_texts) {
  return inverse_beta_value(p, make_beta_inversion(s.a, s.b), x, nan_texts);
}

bool inverse_beta_value(double p, const BetaInversion& inv, double& x, int& nan_texts) {
  if (p == 0.0 || p == 1.0) {
    x = p == 0.0 ? 0.0 : 1.0;
    return true;
  }
  const double crit = std::sqrt(BETA_EPSILON);
  double xc = inv.start;
  double h = 1.0;
  int steps = 0;
  // The first step always runs (h = 1 and xc <= 1 pass both tests) and
  // evaluates at the start, whose values are at hand.
  while (std::fabs(h) > crit * std::fabs(xc) && std::fabs(h) > crit && steps < MAX_NEWTON_STEPS) {
    double cdf = inv.start_cdf;
    double density = inv.start_density;
    if (steps == 0) {
      nan_texts += inv.start_texts;
    } else {
      const BetaLogs logs = beta_logs(xc);
      cdf = incomplete_beta_value(logs, inv.shape, nan_texts);
      density = beta_density_value(logs, inv.shape);
    }
    ++steps;
    h = (cdf - p) / density;
    double next = xc - h;
    if (next <= 0.0) next = xc / 10.0;
    if (next >= 1.0) next = 1.0 - (1.0 - xc) / 10.0;
    xc = next;
  }
  // A hundredth step counts as failure even when it met a stopping test.
  if (steps == MAX_NEWTON_STEPS) return false;
  x = xc;
  return true;
}

void settle_beta_inversion(bool converged, int nan_texts, Console out) {
  write_fraction_warnings(nan_texts, out);
  if (!converged) fatal_error(BETAINV_NOT_CONVERGED, 0);
}

void inverse_beta(double& p, const double& a, const double& b) {
  int nan_texts = 0;
  double x = 0.0;
  const bool converged = inverse_beta_value(p, make_beta_shape(a, b), x, nan_texts);
  settle_beta_inversion(converged, nan_texts);
  p = x;
}

}  // namespace tbx
