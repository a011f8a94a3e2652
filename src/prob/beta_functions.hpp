#pragma once
// Log-gamma, the beta density and the regularised incomplete beta function.
//
// The in-place routines are the program's documented interface. The kernels
// below them take the log-gamma values of a beta variable precomputed (the
// same bits as computing them at every call) and count the continued-fraction
// warnings instead of printing them, so that a caller running simulations in
// parallel can replay the console text in simulation order.

#include <cmath>

#include "core/run_events.hpp"

namespace tbx {

/// The machine epsilon of the beta routines: their tolerances are multiples
/// of it.
inline constexpr double BETA_EPSILON = 2.22044609250313e-16;

/// Replaces x by ln Gamma(x), x > 0.
void log_gamma(double& x);
/// Replaces x by the beta density f(x; a, b).
void beta_density(double& x, double a, double b);
/// Replaces x by I_x(a, b). Writes "\n NaN \n" to standard output each time
/// the continued fraction reaches its iteration limit.
void incomplete_beta(double& x, double a, double b);

/// A beta variable's shapes with their log-gamma terms.
struct BetaShape {
  double a, b;
  double lg_a, lg_b, lg_ab;  ///< ln Gamma(a), ln Gamma(b), ln Gamma(a + b)
};
BetaShape make_beta_shape(double a, double b);

/// f(x; a, b).
double beta_density_value(double x, const BetaShape& s);
/// I_x(a, b); adds to `nan_texts` the number of "\n NaN \n" texts that the
/// in-place routine would have written.
double incomplete_beta_value(double x, const BetaShape& s, int& nan_texts);

/// ln x and ln(1 - x), which the density and the incomplete beta at the same
/// x both need: a caller evaluating both takes them once.
struct BetaLogs {
  double x, log_x, log_1mx;
};
inline BetaLogs beta_logs(double x) { return {x, std::log(x), std::log(1.0 - x)}; }
double beta_density_value(const BetaLogs& x, const BetaShape& s);
double incomplete_beta_value(const BetaLogs& x, const BetaShape& s, int& nan_texts);

/// Writes the continued fraction's "\n NaN \n" text `count` times to `out`
/// (standard output for the in-place routines above), each a warning as
/// data where `out` takes it: the one place that text is written.
void write_fraction_warnings(int count, Console out = stdout);

}  // namespace tbx
