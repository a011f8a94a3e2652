#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "prob/normal.hpp"
#include "summary/summary.hpp"

namespace tbx {

namespace {

constexpr double CURVE_FIRST = 20;  // mm
constexpr double CURVE_LAST = 120;
constexpr double CURVE_STEP = 5;
/// Loads are grouped in bins of this fraction of the cover's standard
/// deviation; a bin's members are represented by their mean, which leaves an
/// error of the order of the square of the fraction, far below 1e-6 in Pf.
constexpr double BIN_FRACTION = 1.0 / 512;
constexpr std::size_t MAX_BINS = std::size_t{1} << 22;

/// The loads reduced to (mean, count) groups.
struct Loads {
  std::vector<double> mean;
  std::vector<double> count;
  double always_failed = 0;  ///< loads that fail every cover (not a number, +infinity)
  double total = 0;
};

Loads group_loads(const std::vector<double>& s, double sd) {
  Loads out;
  out.total = static_cast<double>(s.size());
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (const double v : s) {
    if (std::isfinite(v)) {
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    } else if (!(v < 0)) {
      out.always_failed += 1;
    }
  }
  if (!(lo <= hi)) return out;
  // Positions are measured in halves: the distance between two finite loads
  // may overflow, that between their halves cannot, and halving is exact
  // above the subnormal range, so the bins are those of the plain differences.
  double half_width = sd * BIN_FRACTION / 2;
  const double half_span = hi / 2 - lo / 2;
  const double span = half_span / half_width;
  std::size_t bins = MAX_BINS;
  if (span < static_cast<double>(MAX_BINS)) {
    bins = static_cast<std::size_t>(span) + 1;
  } else {
    half_width = half_span / static_cast<double>(MAX_BINS - 1);
  }
  std::vector<double> sum(bins, 0.0);
  std::vector<double> count(bins, 0.0);
  for (const double v : s) {
    if (!std::isfinite(v)) continue;
    // Not a number only for 0/0, where every load is in one place anyway.
    const double position = (v / 2 - lo / 2) / half_width;
    const std::size_t b =
        position < static_cast<double>(bins - 1) ? static_cast<std::size_t>(position) : bins - 1;
    sum[b] += v;
    count[b] += 1;
  }
  for (std::size_t b = 0; b < bins; ++b) {
    if (count[b] == 0) continue;
    out.mean.push_back(sum[b] / count[b]);
    out.count.push_back(count[b]);
  }
  return out;
}

/// Pf when the cover has mean `mean` and standard deviation sd: the average
/// over the simulations of P(cover < S); with its derivative in `slope`.
double pf_at(const Loads& loads, double mean, double sd, bool lognormal, double* slope = nullptr) {
  constexpr double INV_SQRT_2PI = 0.39894228040143267794;
  double sum = loads.always_failed;
  double dsum = 0;
  if (lognormal) {
    const double zeta = std::sqrt(std::log1p(sd * sd / (mean * mean)));
    const double lambda = std::log(mean) - zeta * zeta / 2;
    for (std::size_t b = 0; b < loads.mean.size(); ++b) {
      if (loads.mean[b] > 0) sum += loads.count[b] * normal_cdf((std::log(loads.mean[b]) - lambda) / zeta);
    }
  } else {
    for (std::size_t b = 0; b < loads.mean.size(); ++b) {
      const double z = (loads.mean[b] - mean) / sd;
      sum += loads.count[b] * normal_cdf(z);
      if (slope != nullptr) dsum -= loads.count[b] * INV_SQRT_2PI * std::exp(-0.5 * z * z) / sd;
    }
  }
  if (slope != nullptr) *slope = dsum / loads.total;
  return sum / loads.total;
}

/// The mean cover at which Pf equals `target`; NaN with `reason` set where
/// no cover reaches it. `near`, where a number, is a cover close to the
/// answer (the mean cover, for the ends of its interval): the bracket is
/// then sought from there, which saves most of the evaluations.
double solve_cover(const Loads& loads, double sd, bool lognormal, double target_pf, std::string& reason,
                   double near = std::nan("")) {
  // Pf falls as the mean cover grows: bisect on a bracket found by doubling.
  double hi = std::max(1.0, sd);
  double lo = 0;
  if (std::isfinite(near) && !lognormal) {
    double step = sd / 16;
    hi = near;
    while (pf_at(loads, hi, sd, lognormal) > target_pf && hi < 1e12) hi += (step *= 2);
    lo = hi - sd / 16;
  } else {
    while (pf_at(loads, hi, sd, lognormal) > target_pf && hi < 1e12) hi *= 2;
    lo = lognormal ? hi / 2 : hi - sd;
  }
  // A scatter below the spacing of numbers near hi would leave the bracket
  // empty and the widening below without a step.
  if (!(lo < hi)) lo = std::nextafter(hi, 0.0);
  while (pf_at(loads, lo, sd, lognormal) < target_pf && (lognormal ? lo > 1e-12 : lo > -1e12)) {
    lo = lognormal ? lo / 2 : lo - 2 * (hi - lo);
  }
  const double pf_lo = pf_at(loads, lo, sd, lognormal);
  const double pf_hi = pf_at(loads, hi, sd, lognormal);
  if (!(pf_lo >= target_pf && pf_hi <= target_pf)) {
    reason = pf_hi > target_pf ? "no cover reaches the target: too many simulations fail whatever the cover"
                               : "no cover reaches the target: too few simulations can fail whatever the cover";
    return std::nan("");
  }
  // Newton's method inside the bracket (normal cover), bisection where a
  // step would leave it or for a lognormal cover.
  double x = 0.5 * (lo + hi);
  // The ends of an interval need far fewer digits than the cover itself.
  const double tolerance = std::isfinite(near) ? 1e-7 : 1e-13;
  for (int i = 0; i < 200 && hi - lo > 10 * tolerance * std::max(1.0, std::fabs(hi)); ++i) {
    double slope = 0;
    const double f = pf_at(loads, x, sd, lognormal, lognormal ? nullptr : &slope) - target_pf;
    if (f > 0) {
      lo = x;
    } else {
      hi = x;
    }
    const double newton = slope < 0 ? x - f / slope : NAN;
    if (f == 0 || (newton > lo && newton < hi && std::fabs(newton - x) <= tolerance * std::max(1.0, std::fabs(x)))) {
      lo = hi = std::isnan(newton) ? x : newton;
      break;
    }
    x = newton > lo && newton < hi ? newton : 0.5 * (lo + hi);
  }
  return 0.5 * (lo + hi);
}

}  // namespace

DesignCoverSummary design_cover(const std::vector<double>& s, bool lognormal, double sd, double target_pf,
                                double pf_low, double pf_high) {
  DesignCoverSummary d;
  d.distribution = lognormal ? "lognormal" : "normal";
  d.sd_cover = sd;
  d.mean_cover = d.low_cover = d.high_cover = std::nan("");
  if (!(sd > 0)) {
    d.reason = "the cover's standard deviation is not positive";
    return d;
  }
  const Loads loads = group_loads(s, sd);
  for (double c = CURVE_FIRST; c <= CURVE_LAST; c += CURVE_STEP) d.curve.push_back({c, 100 * pf_at(loads, c, sd, lognormal)});
  d.mean_cover = solve_cover(loads, sd, lognormal, target_pf, d.reason);
  if (std::isnan(d.mean_cover)) return d;
  // A higher Pf is reached with less cover: the upper level gives the low end.
  auto end = [&](double level, const char* name) {
    std::string why;
    const double cover =
        level > 0 && level < 1 ? solve_cover(loads, sd, lognormal, level, why, d.mean_cover) : std::nan("");
    if (std::isnan(cover)) {
      d.interval_reason += (d.interval_reason.empty() ? "" : "; ") + std::string(name) +
                           (why.empty() ? ": too few simulations to hold the order statistic that bounds it" : ": " + why);
    }
    return cover;
  };
  if (!std::isnan(pf_low) || !std::isnan(pf_high)) {
    d.low_cover = end(pf_high, "low");
    d.high_cover = end(pf_low, "high");
  }
  return d;
}

}  // namespace tbx
