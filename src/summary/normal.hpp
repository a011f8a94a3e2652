#pragma once
// The standard normal distribution, to full double precision, for the
// summary's reliability indices (the sampling of the simulations has its own
// routines, whose exact bits the reports depend on).

namespace tbx {

/// Phi(x).
double normal_cdf(double x);

/// Phi^-1(p): -infinity for p <= 0, +infinity for p >= 1, NaN for NaN.
double normal_quantile(double p);

}  // namespace tbx
