#pragma once
// Exact binomial inference for Monte Carlo counts: the regularised incomplete
// beta function, its inverse, the Clopper-Pearson interval of a probability
// and the distribution-free interval of a quantile from order statistics.
// Accurate to about 1e-9 relative for up to some 1e7 trials (the log-gamma
// differences limit it), far below any Monte Carlo error.

#include <cstdint>

namespace tbx {

/// I_x(a, b) for a, b > 0 and x in [0, 1].
double regularized_beta(double x, double a, double b);

/// The x in [0, 1] with I_x(a, b) = q.
double beta_quantile(double q, double a, double b);

/// P(B <= k) for B binomial with n trials and probability p.
double binomial_cdf(std::int64_t k, std::int64_t n, double p);

struct Interval {
  double low;
  double high;
};

/// The exact two-sided Clopper-Pearson interval, with confidence
/// `confidence`, of a probability estimated by k successes in n trials.
/// 0 successes still give a positive upper bound.
Interval clopper_pearson(std::int64_t k, std::int64_t n, double confidence);

/// Order statistics that bracket the p-quantile of a continuous
/// distribution with at least `confidence` from n independent values:
/// P(X_(low) <= xi_p <= X_(high)) >= confidence. Indices are 1-based; 0 for
/// `low` or n + 1 for `high` means the sample holds no such bound.
struct OrderBounds {
  std::int64_t low;
  std::int64_t high;
};
OrderBounds quantile_order_bounds(std::int64_t n, double p, double confidence);

}  // namespace tbx
