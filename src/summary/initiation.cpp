#include <algorithm>
#include <cmath>
#include <limits>

#include "summary/binomial.hpp"
#include "summary/normal.hpp"
#include "summary/summary.hpp"

namespace tbx {

namespace {

constexpr double TOLERANCE = 1e-6;  // years
constexpr int HISTOGRAM_BINS = 20;
constexpr double QUANTILES[] = {1, 5, 10, 50, 90, 95};

/// The time in (a, b] at which G of simulation j becomes negative, given
/// G(a) >= 0 > G(b): regula falsi with the Illinois correction, each new
/// point at least half the tolerance away from the ends, so that the bracket
/// closes once the estimate is good. Returns the failed end of a bracket no
/// wider than the tolerance.
double crossing(const SimulationModel& model, std::int64_t j, double a, double b) {
  auto g = [&](double t) { return model.at(t).limit_state(j); };
  double ga = g(a);
  double gb = g(b);
  if (!(ga >= 0) || !(gb < 0)) return b;  // not a clean sign change: the time point decides
  int side = 0;
  for (int i = 0; i < 200 && b - a > TOLERANCE; ++i) {
    double c = b - gb * (b - a) / (gb - ga);
    const double margin = 0.5 * TOLERANCE;
    if (!(c > a + margin)) c = std::min(a + margin, 0.5 * (a + b));
    if (!(c < b - margin)) c = std::max(b - margin, 0.5 * (a + b));
    const double gc = g(c);
    if (gc >= 0) {
      a = c;
      ga = gc;
      if (side == 1) gb /= 2;
      side = 1;
    } else {  // negative, or not a number: failed
      b = c;
      gb = std::isnan(gc) ? -std::numeric_limits<double>::min() : gc;
      if (side == -1) ga /= 2;
      side = -1;
    }
  }
  return b;
}

/// The k-th smallest of n values (1-based), NaN where it is censored.
double order_statistic(const std::vector<double>& sorted, std::int64_t k) {
  if (k < 1 || k > static_cast<std::int64_t>(sorted.size())) return std::nan("");
  const double v = sorted[static_cast<std::size_t>(k - 1)];
  return std::isinf(v) ? std::nan("") : v;
}

/// The empirical p-quantile's rank: the smallest k with k / n >= p.
std::int64_t quantile_rank(std::int64_t n, double p) {
  const auto k = static_cast<std::int64_t>(std::ceil(static_cast<double>(n) * p - 1e-9));
  return std::clamp<std::int64_t>(k, 1, n);
}

}  // namespace

std::vector<double> initiation_times(const SimulationModel& model) {
  std::vector<double> out;
  if (model.time_random()) return out;
  const std::vector<double>& times = model.times();
  out.resize(static_cast<std::size_t>(model.nsim()));
  for (std::int64_t j = 1; j <= model.nsim(); ++j) {
    const std::int32_t f = model.first_failure(j);
    double t = std::numeric_limits<double>::infinity();
    if (f == 1) {
      t = times.front();
    } else if (f > 1) {
      const double a = times[static_cast<std::size_t>(f - 2)];
      const double b = times[static_cast<std::size_t>(f - 1)];
      t = a < b ? crossing(model, j, a, b) : b;
    }
    out[static_cast<std::size_t>(j - 1)] = t;
  }
  return out;
}

InitiationSummary summarize_initiation(std::vector<double> sorted, std::int64_t nsim, double first, double last) {
  InitiationSummary s;
  for (const double q : QUANTILES) s.quantiles.emplace_back(q, order_statistic(sorted, quantile_rank(nsim, q / 100)));
  const auto initiated = std::lower_bound(sorted.begin(), sorted.end(), std::numeric_limits<double>::infinity());
  s.censored = static_cast<std::int64_t>(sorted.end() - initiated);
  s.censored_share = static_cast<double>(s.censored) / static_cast<double>(nsim);
  const double width = (last - first) / HISTOGRAM_BINS;
  auto it = sorted.begin();
  for (int b = 0; b < HISTOGRAM_BINS && width > 0; ++b) {
    HistogramBin bin;
    bin.from = first + (last - first) * b / HISTOGRAM_BINS;
    bin.to = b + 1 == HISTOGRAM_BINS ? last : first + (last - first) * (b + 1) / HISTOGRAM_BINS;
    // (from, to], the first bin from `first` on.
    const auto end = std::upper_bound(it, initiated, bin.to);
    bin.count = static_cast<std::int64_t>(end - it);
    it = end;
    s.histogram.push_back(bin);
  }
  return s;
}

ServiceLifeSummary service_life(const std::vector<double>& sorted, std::int64_t nsim, double target_beta) {
  ServiceLifeSummary s;
  s.target_beta = target_beta;
  const double p = normal_cdf(-target_beta);
  s.target_pf = 100 * p;
  s.years = order_statistic(sorted, quantile_rank(nsim, p));
  const OrderBounds bounds = quantile_order_bounds(nsim, p, SUMMARY_CONFIDENCE);
  s.low = bounds.low >= 1 ? order_statistic(sorted, bounds.low) : std::nan("");
  s.high = order_statistic(sorted, bounds.high);
  return s;
}

}  // namespace tbx
