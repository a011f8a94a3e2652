#include "summary/binomial.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tbx {

namespace {

/// The continued fraction of I_x(a, b), modified Lentz, for x below the
/// mean, where it converges in about sqrt(max(a, b)) terms.
double beta_fraction(double x, double a, double b) {
  constexpr double TINY = 1e-300;
  constexpr double EPS = 1e-16;
  const double qab = a + b;
  const double qap = a + 1;
  const double qam = a - 1;
  double c = 1;
  double d = 1 - qab * x / qap;
  if (std::fabs(d) < TINY) d = TINY;
  d = 1 / d;
  double h = d;
  for (int m = 1; m <= 1000000; ++m) {
    const double m2 = 2.0 * m;
    double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
    d = 1 + aa * d;
    if (std::fabs(d) < TINY) d = TINY;
    c = 1 + aa / c;
    if (std::fabs(c) < TINY) c = TINY;
    d = 1 / d;
    h *= d * c;
    aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
    d = 1 + aa * d;
    if (std::fabs(d) < TINY) d = TINY;
    c = 1 + aa / c;
    if (std::fabs(c) < TINY) c = TINY;
    d = 1 / d;
    const double del = d * c;
    h *= del;
    if (std::fabs(del - 1) < EPS) break;
  }
  return h;
}

double log_beta(double a, double b) { return std::lgamma(a) + std::lgamma(b) - std::lgamma(a + b); }

}  // namespace

double regularized_beta(double x, double a, double b) {
  if (!(x > 0)) return 0.0;
  if (!(x < 1)) return 1.0;
  const double log_front = a * std::log(x) + b * std::log1p(-x) - log_beta(a, b);
  const double front = std::exp(log_front);
  if (x < (a + 1) / (a + b + 2)) return front * beta_fraction(x, a, b) / a;
  return 1 - front * beta_fraction(1 - x, b, a) / b;
}

double beta_quantile(double q, double a, double b) {
  if (!(q > 0)) return 0.0;
  if (!(q < 1)) return 1.0;
  // Newton's method inside a shrinking bracket; a step that leaves the
  // bracket is replaced by bisection (geometric while the bracket spans
  // orders of magnitude, so that tiny quantiles are reached quickly).
  double lo = 0;
  double hi = 1;
  double x = a / (a + b);
  const double lb = log_beta(a, b);
  for (int i = 0; i < 400; ++i) {
    const double f = regularized_beta(x, a, b) - q;
    if (f == 0) return x;
    if (f < 0) {
      lo = x;
    } else {
      hi = x;
    }
    const double density = std::exp((a - 1) * std::log(x) + (b - 1) * std::log1p(-x) - lb);
    double next = x - f / density;
    if (!(next > lo && next < hi)) {
      next = lo > 0 && hi / lo > 4 ? std::sqrt(lo * hi) : lo == 0 ? hi / 16 : 0.5 * (lo + hi);
    }
    if (std::fabs(next - x) <= 4 * std::numeric_limits<double>::epsilon() * x || next == lo || next == hi) {
      return next;
    }
    x = next;
  }
  return x;
}

double binomial_cdf(std::int64_t k, std::int64_t n, double p) {
  if (k < 0) return 0.0;
  if (k >= n) return 1.0;
  return regularized_beta(1 - p, static_cast<double>(n - k), static_cast<double>(k + 1));
}

Interval clopper_pearson(std::int64_t k, std::int64_t n, double confidence) {
  const double tail = (1 - confidence) / 2;
  const auto kd = static_cast<double>(k);
  const auto nd = static_cast<double>(n);
  Interval r{0.0, 1.0};
  // The ends have closed forms, exact where the general inversion is
  // slowest.
  if (k == 0) {
    r.high = -std::expm1(std::log(tail) / nd);
  } else if (k == n) {
    r.low = std::exp(std::log(tail) / nd);
  }
  if (k > 0 && k < n) {
    r.low = beta_quantile(tail, kd, nd - kd + 1);
    r.high = beta_quantile(1 - tail, kd + 1, nd - kd);
  }
  return r;
}

OrderBounds quantile_order_bounds(std::int64_t n, double p, double confidence) {
  const double tail = (1 - confidence) / 2;
  // The number B of values below the quantile is binomial(n, p):
  // X_(l) <= xi_p unless B < l, and xi_p <= X_(u) unless B >= u.
  // low: the largest l with P(B <= l - 1) <= tail; high: the smallest u with
  // P(B <= u - 1) >= 1 - tail. Both found by bisection on the index.
  const double mean = static_cast<double>(n) * p;
  const double spread = 3 * std::sqrt(mean * (1 - p)) + 10;
  auto first_k = [&](double level, bool strict) {
    // The smallest k in [0, n] with P(B <= k) > level (strict) or >= level,
    // by bisection; first on the bracket that the normal approximation
    // gives, the whole range if that does not hold.
    auto meets = [&](std::int64_t k) {
      const double c = binomial_cdf(k, n, p);
      return strict ? c > level : c >= level;
    };
    std::int64_t lo = std::max<std::int64_t>(0, static_cast<std::int64_t>(mean - spread));
    std::int64_t hi = std::min<std::int64_t>(n, static_cast<std::int64_t>(mean + spread));
    if ((lo > 0 && meets(lo - 1)) || !meets(hi)) {
      lo = 0;
      hi = n;
    }
    while (lo < hi) {
      const std::int64_t mid = lo + (hi - lo) / 2;
      if (meets(mid)) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    return lo;
  };
  OrderBounds r{};
  r.low = first_k(tail, true);
  r.high = first_k(1 - tail, false) + 1;
  return r;
}

}  // namespace tbx
