#pragma once
// The standard normal distribution, to full double precision: for the
// summary's reliability indices and the exact samplers of variables given by
// mean and standard deviation. (The classic job's normal sampler has its own
// routines, whose exact bits the reports depend on.)

namespace tbx {

/// Phi(x).
double normal_cdf(double x);

/// Phi^-1(p): -infinity for p <= 0, +infinity for p >= 1, NaN for NaN.
double normal_quantile(double p);

/// Phi^-1(p) by Wichura's algorithm AS 241 (PPND16), rational functions
/// good to about 1e-16 relative: the exact quantile to within a few units in
/// the last place, ten times faster than normal_quantile. For samplers that
/// invert every draw. Same limits as normal_quantile.
double normal_quantile_wichura(double p);

/// Phi^-1(p) for p in (0, 1) to about 1e-9 relative, several times faster:
/// for statistics over many simulations, where that is far below the noise.
double normal_quantile_fast(double p);

}  // namespace tbx
