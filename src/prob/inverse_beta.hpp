#pragma once

#include "prob/beta_functions.hpp"

namespace tbx {

/// Replaces p by the beta quantile x with I_x(a, b) = p. Ends the run with
/// "Warning: BETAINV did not converge " after 100 Newton steps.
void inverse_beta(double& p, const double& a, const double& b);

/// A beta variable ready for inversion: its shape, and the first Newton
/// step's evaluations, which start from the mean whatever the probability
/// and so are the same for every draw.
struct BetaInversion {
  BetaShape shape{};
  double start = 0.0;  ///< the mean, moved off 0 and 1
  double start_cdf = 0.0;
  double start_density = 0.0;
  int start_texts = 0;  ///< continued-fraction texts of start_cdf
};
BetaInversion make_beta_inversion(double a, double b);

/// The Newton iteration of inverse_beta. Returns false where inverse_beta
/// would end the run; otherwise sets x. Adds the continued-fraction texts met
/// on the way to `nan_texts` instead of printing them.
bool inverse_beta_value(double p, const BetaInversion& s, double& x, int& nan_texts);
bool inverse_beta_value(double p, const BetaShape& s, double& x, int& nan_texts);

/// What inverse_beta does after the iteration: writes the `nan_texts`
/// continued-fraction texts to `out` (standard output for inverse_beta) and,
/// when the iteration did not converge, ends the run with
/// BETAINV_NOT_CONVERGED. For callers that run the kernel themselves and
/// must behave as inverse_beta would.
void settle_beta_inversion(bool converged, int nan_texts, Console out = stdout);

inline constexpr const char* BETAINV_NOT_CONVERGED = "Warning: BETAINV did not converge ";

}  // namespace tbx
