#include "prob/regularized_beta.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "prob/normal.hpp"
#include "prob/polynomial.hpp"

namespace tbx {

namespace {

constexpr double EPSILON = std::numeric_limits<double>::epsilon();
constexpr double LN_SQRT_2PI = 0.91893853320467274178;
constexpr double LN2 = 0.69314718055994530942;
/// Smallest magnitude a denominator of the continued fraction may take
/// before it is replaced (Lentz's method needs one that is not zero).
constexpr double TINY = 1e-300;
/// Terms of the continued fraction. A standard deviation or more below the
/// switch point it needs a few hundred at most; at the point itself about
/// (a + b)^(1/3): 10^4 for shapes of 10^10, so this covers shapes to 10^13.
constexpr int MAX_FRACTION_TERMS = 100000;
/// Steps of the inversion. Halley's method needs two to four; the
/// bisection that takes over where a step would leave the bracket halves
/// ln x, which reaches any double from the far tail in well under this many.
constexpr int MAX_INVERSION_STEPS = 200;
/// A step this small relative to x and to 1 - x ends the inversion: Halley's
/// method converges cubically, so what remains after it lies far below the
/// rounding of x.
constexpr double LAST_STEP = 1e-9;
/// Beyond the switch point I = 1 - complement, except where that would
/// cancel (I can be small there, for a shape below 1 at the far end); the
/// fraction from x converges there too, only more slowly.
constexpr double MAX_COMPLEMENT = 0.9;
/// The table of starting points: from t = e^-23 (below any uniform number
/// of the generator) to the switch mass, in this many equal steps of ln t.
/// Cubic interpolation in it comes within the last step's size of the root.
constexpr double START_LOG_T_FIRST = -23.0;
constexpr int START_POINTS = 1024;
/// Shapes from which log-gammas are replaced by Stirling's series.
constexpr double STIRLING_FROM = 10.0;

/// ln Gamma(x) - ((x - 1/2) ln x - x + ln sqrt(2 pi)) for x >= 10: Stirling's
/// series, sum of B_2k / (2k (2k - 1) x^(2k - 1)) for k = 1..8
/// (Abramowitz and Stegun 6.1.40); the first term left out is below 1e-17.
double stirling_correction(double x) {
  static constexpr std::array<double, 8> C = {-3617.0 / 122400, 1.0 / 156,  -691.0 / 360360, 1.0 / 1188,
                                              -1.0 / 1680,      1.0 / 1260, -1.0 / 360,      1.0 / 12};
  return horner(1 / (x * x), C) / x;
}

/// The continued fraction of I_x(a, b) = x^a (1 - x)^b / (a B(a, b)) * f,
///   f = 1 / (1 + d1 / (1 + d2 / (1 + d3 / ...))),
///   d(2m) = m (b - m) x / ((a + 2m - 1) (a + 2m)),
///   d(2m+1) = -(a + m) (a + b + m) x / ((a + 2m) (a + 2m + 1))
/// (Abramowitz and Stegun 26.5.8). It converges quickly for
/// x < (a + 1) / (a + b + 2). It is evaluated on its even part, whose n-th
/// approximant is the 2n-th of the fraction above, two terms per step:
///   f = 1 / (1 + d1 / H),
///   H = 1 + d2 - d2 d3 / (1 + d3 + d4 - d4 d5 / (1 + d5 + d6 - ...)),
/// and H by the modified Lentz method (Thompson and Barnett, J. Comput.
/// Phys. 64 (1986) 490).
double continued_fraction(double a, double b, double x) {
  const double sum = a + b;
  const auto odd = [&](double m) { return -(a + m) * (sum + m) * x / ((a + 2 * m) * (a + 2 * m + 1)); };
  const auto even = [&](double m) { return m * (b - m) * x / ((a + 2 * m - 1) * (a + 2 * m)); };
  double last_even = even(1);
  double h = 1 + last_even;
  if (std::fabs(h) < TINY) h = TINY;
  double c = h, d = 0;
  for (int k = 2; k <= MAX_FRACTION_TERMS; ++k) {
    const double next_odd = odd(k - 1), next_even = even(k);
    const double numerator = -last_even * next_odd, denominator = 1 + next_odd + next_even;
    last_even = next_even;
    d = denominator + numerator * d;
    if (std::fabs(d) < TINY) d = TINY;
    c = denominator + numerator / c;
    if (std::fabs(c) < TINY) c = TINY;
    d = 1 / d;
    const double delta = c * d;
    h *= delta;
    if (std::fabs(delta - 1) <= EPSILON) break;
  }
  return 1 / (1 + odd(0) / h);
}

/// ln B(a, b) = ln(Gamma(a) Gamma(b) / Gamma(a + b)) where a shape lies
/// below 10 (two large shapes are handled relative to the mean instead),
/// without the cancellation of two large log-gammas where the other is large.
double log_beta(double a, double b) {
  if (a > b) std::swap(a, b);
  if (b < STIRLING_FROM) return std::lgamma(a) + std::lgamma(b) - std::lgamma(a + b);
  // ln Gamma(a + b) - ln Gamma(b) by Stirling's series for both, arranged so
  // that no two large terms cancel.
  const double sum = a + b;
  return std::lgamma(a) - ((b - 0.5) * std::log1p(a / b) + a * std::log(sum) - a + stirling_correction(sum) -
                           stirling_correction(b));
}

}  // namespace

RegularizedBeta::RegularizedBeta(double p, double q)
    : lower_(p, q), upper_(q, p) {}

BetaPoint RegularizedBeta::quantile(double u) const {
  if (std::isnan(u)) return {u, u};
  if (u <= lower_.switch_mass()) {
    const double x = lower_.solve(u);
    return {x, 1 - x};
  }
  const double y = upper_.solve(1 - u);
  return {1 - y, y};
}

RegularizedBeta::Tail::Tail(double a, double b)
    : a_(a),
      b_(b),
      large_(a >= STIRLING_FROM && b >= STIRLING_FROM),
      switch_x_((a + 1) / (a + b + 2)),
      normal_start_(a >= 1 && b >= 1) {
  const double sum = a + b;
  if (large_) {
    // ln(x^a y^b / B(a, b)) = a ln(x / x0) + b ln(y / y0) + log_scale, with
    // the mean x0 = a / (a + b), y0 = 1 - x0 and Stirling's series for B:
    // the two large logarithms vanish together near the mean instead of
    // cancelling against ln B. With x0 + y0 = 1 exactly (the larger one
    // rounded, the other its exact complement) the sum depends on the
    // rounding of x0 only to second order; a separately rounded y0 would
    // cost about a * eps.
    if (a >= b) {
      mean_x_ = a / sum;
      mean_y_ = 1 - mean_x_;
    } else {
      mean_y_ = b / sum;
      mean_x_ = 1 - mean_y_;
    }
    log_mean_x_ = std::log(mean_x_);
    log_mean_y_ = std::log(mean_y_);
    log_scale_ = -(LN_SQRT_2PI + 0.5 * std::log(sum / (a * b)) + stirling_correction(a) + stirling_correction(b) -
                   stirling_correction(sum));
    log_beta_ = 0;
  } else {
    log_beta_ = log_beta(a, b);
    mean_x_ = mean_y_ = log_mean_x_ = log_mean_y_ = log_scale_ = 0;
  }
  if (normal_start_) {
    h_ = 2 / (1 / (2 * a - 1) + 1 / (2 * b - 1));
    shape_difference_ = 1 / (2 * b - 1) - 1 / (2 * a - 1);
    log_b_over_a_ = std::log(b / a);
    lower_mass_ = log_aw_ = bw_ = 0;
  } else {
    // x^a / a and (1 - x)^b / b at x = a / (a + b), in proportion to the
    // probability below and above that point.
    const double below = std::exp(a * std::log(a / (a + b))) / a;
    const double above = std::exp(b * std::log(b / (a + b))) / b;
    const double w = below + above;
    lower_mass_ = below / w;
    log_aw_ = std::log(a * w);
    bw_ = b * w;
    h_ = shape_difference_ = log_b_over_a_ = 0;
  }
  switch_mass_ = std::exp(log_front(switch_x_, std::log(switch_x_), std::log1p(-switch_x_))) *
                 continued_fraction(a, b, switch_x_) / a;
  tabulate_starts();
}

void RegularizedBeta::Tail::tabulate_starts() {
  const double last = std::log(switch_mass_);
  if (!(last > START_LOG_T_FIRST)) return;
  start_log_t0_ = START_LOG_T_FIRST;
  start_step_ = (last - START_LOG_T_FIRST) / (START_POINTS - 1);
  std::vector<double> table(START_POINTS);
  // Each root from the one before, a short way off.
  for (int k = 0; k < START_POINTS; ++k) {
    const double log_t = start_log_t0_ + k * start_step_;
    const double t = std::exp(log_t);
    const double z = k == 0 ? first_guess(t) : table[static_cast<std::size_t>(k - 1)];
    const double x = solve_from(log_t, z);
    if (!(x > 0 && x < 1)) return;  // beyond what a double holds: no table
    table[static_cast<std::size_t>(k)] = std::log(x);
  }
  start_log_x_ = std::move(table);
}

double RegularizedBeta::Tail::tabulated_start(double log_t) const {
  if (start_log_x_.empty()) return std::nan("");
  const double position = (log_t - start_log_t0_) / start_step_;
  if (!(position >= 1 && position <= START_POINTS - 2)) return std::nan("");
  // Cubic through the four table points around the position.
  const int k = std::min(static_cast<int>(position), START_POINTS - 3);
  const double f = position - k;
  const double* y = &start_log_x_[static_cast<std::size_t>(k - 1)];
  const double fm = f - 1, fp = f + 1, f2 = f - 2;
  return (-f * fm * f2 * y[0] + 3 * fp * fm * f2 * y[1] - 3 * fp * f * f2 * y[2] + fp * f * fm * y[3]) / 6;
}

double RegularizedBeta::Tail::cdf(double x) const {
  if (std::isnan(x)) return x;
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const double front = std::exp(log_front(x, std::log(x), std::log1p(-x)));
  if (x >= switch_x_) {
    const double complement = front * continued_fraction(b_, a_, 1 - x) / b_;
    if (complement <= MAX_COMPLEMENT) return 1 - complement;
  }
  return front * continued_fraction(a_, b_, x) / a_;
}

double RegularizedBeta::Tail::log_front(double x, double log_x, double log_y) const {
  if (large_) {
    // Near the mean from x - x0 = y0 - y, exact there; farther out from the
    // logarithms, which neither underflow nor cancel much.
    const double d = x - mean_x_;
    if (std::fabs(d) < 0.5 * std::min(mean_x_, mean_y_)) {
      return a_ * std::log1p(d / mean_x_) + b_ * std::log1p(-d / mean_y_) + log_scale_;
    }
    return a_ * (log_x - log_mean_x_) + b_ * (log_y - log_mean_y_) + log_scale_;
  }
  return a_ * log_x + b_ * log_y - log_beta_;
}

RegularizedBeta::Tail::Point RegularizedBeta::Tail::evaluate(double x, double y, double log_x,
                                                             double log_y) const {
  // d ln I / d ln x = x I'(x) / I, with x I'(x) = front / y.
  const double log_power = log_front(x, log_x, log_y);
  if (x < switch_x_) {
    const double f = continued_fraction(a_, b_, x);
    return {log_power + std::log(f / a_), a_ / (y * f)};
  }
  // Beyond the switch point, where the root never lies, I only has to come
  // out above the mass up to that point; 1 - complement may cancel there
  // (a shape below 1 at the far end), and I increases.
  const double front = std::exp(log_power);
  const double cdf = std::max(1 - front * continued_fraction(b_, a_, y) / b_, switch_mass_);
  return {std::log(cdf), front / (y * cdf)};
}

double RegularizedBeta::Tail::first_guess(double t) const {
  double log_x;
  if (normal_start_) {
    // Abramowitz and Stegun 26.5.22: x = a / (a + b e^(2w)) with w from the
    // normal quantile.
    const double z = -normal_quantile_fast(t);
    const double lambda = (z * z - 3) / 6;
    const double w = z * std::sqrt(h_ + lambda) / h_ - shape_difference_ * (lambda + 5.0 / 6 - 2 / (3 * h_));
    const double e = log_b_over_a_ + 2 * w;
    log_x = -(std::max(e, 0.0) + std::log1p(std::exp(-std::fabs(e))));  // -ln(1 + e^e)
  } else if (t < lower_mass_) {
    log_x = (log_aw_ + std::log(t)) / a_;  // I ~ x^a / (a B) near 0
  } else {
    log_x = std::log1p(-std::pow(bw_ * (1 - t), 1 / b_));  // 1 - I ~ (1 - x)^b / (b B) near 1
  }
  return log_x < 0 && std::isfinite(log_x) ? log_x : -LN2;
}

// Halley's method on ln I as a function of ln x, where either tail is nearly
// a straight line (I ~ x^a), so that the far tails take as few steps as the
// centre and x never leaves (0, 1). The root stays bracketed: a step that
// would leave the bracket is replaced by halving it in ln x (or, while no
// lower end is known, by doubling the distance of ln x from 0).
double RegularizedBeta::Tail::solve(double t) const {
  if (std::isnan(t)) return t;
  if (t <= 0) return 0;
  if (t >= 1) return 1;
  const double log_t = std::log(t);
  const double start = tabulated_start(log_t);
  return solve_from(log_t, start < 0 ? start : first_guess(t));
}

double RegularizedBeta::Tail::solve_from(double log_t, double z) const {
  double lo = -std::numeric_limits<double>::infinity();
  double hi = 0;
  for (int i = 0; i < MAX_INVERSION_STEPS; ++i) {
    // 1 - x and its logarithm from whichever of x and 1 - x is not close to 1.
    const double x = std::exp(z);
    const bool small = x < 0.5;
    const double y = small ? 1 - x : -std::expm1(z);
    const Point at = evaluate(x, y, z, small ? std::log1p(-x) : std::log(y));
    const double miss = at.log_cdf - log_t;
    if (miss == 0) break;
    (miss < 0 ? lo : hi) = z;
    const double newton = miss / at.slope;
    const double correction = 0.5 * newton * (a_ - (b_ - 1) * x / y - at.slope);
    const double step = std::fabs(correction) < 0.5 ? newton / (1 - correction) : newton;
    double next = z - step;
    if (std::fabs(step) <= LAST_STEP * std::min(1.0, y)) return std::exp(next);
    if (!(next > lo && next < hi)) next = std::isinf(lo) ? 2 * hi - 1 : 0.5 * (lo + hi);
    if (next == z) break;
    z = next;
  }
  return std::exp(z);
}

}  // namespace tbx
