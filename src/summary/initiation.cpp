#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "core/number_format.hpp"
#include "core/parallel.hpp"
#include "prob/normal.hpp"
#include "summary/binomial.hpp"
#include "summary/prepared_vector.hpp"
#include "summary/summary.hpp"

namespace tbx {

namespace {

constexpr double TOLERANCE = 1e-6;  // years
constexpr int HISTOGRAM_BINS = 20;
constexpr double QUANTILES[] = {1, 5, 10, 50, 90, 95};

/// The time in (a, b] at which G of simulation j becomes negative, given
/// the loads sa and sb at a and b with G(a) >= 0 > G(b). The secant method
/// on h = ln R - ln S against ln t where R and S are positive (the load grows
/// nearly as a power of the time, so h is nearly straight and two or three
/// steps suffice), else on G against t; a step that leaves the bracket is
/// replaced by bisection. Stops when a step moves the time by less than a
/// tenth of the tolerance; the result stays in (a, b], the bracket that the
/// time points give.
double crossing(const SimulationModel& model, std::int64_t j, double a, double b, double sa, double sb) {
  const double r = model.resistance(j);
  if (!(r - sa >= 0) || !(r - sb < 0)) return b;  // not a clean sign change: the time point decides
  const bool logs = r > 0 && sa > 0 && std::isfinite(sb);
  const double log_r = logs ? std::log(r) : 0.0;
  auto x_of = [&](double t) { return logs ? std::log(t) : t; };
  auto t_of = [&](double x) { return logs ? std::exp(x) : x; };
  auto h_of = [&](double s) {
    if (!std::isfinite(s) || (logs && !(s > 0))) return -std::numeric_limits<double>::max();
    return logs ? log_r - std::log(s) : r - s;
  };
  double ta = a;
  double tb = b;
  double x0 = x_of(a);
  double h0 = h_of(sa);
  double x1 = x_of(b);
  double h1 = h_of(sb);
  double t = b;
  for (int i = 0; i < 100; ++i) {
    double x = x1 - h1 * (x1 - x0) / (h1 - h0);
    double next = t_of(x);
    if (!(next > ta && next < tb)) {
      next = 0.5 * (ta + tb);
      x = x_of(next);
    }
    const double s = model.load(j, next);
    const double h = h_of(s);
    if (r - s >= 0) {
      ta = next;
    } else {
      tb = next;
    }
    const double moved = std::fabs(next - t);
    t = next;
    if (moved < 0.1 * TOLERANCE || tb - ta <= TOLERANCE) break;
    x0 = x1;
    h0 = h1;
    x1 = x;
    h1 = h;
  }
  return std::min(b, std::max(t, std::nextafter(a, b)));
}

/// ln S / S_unit as a function of ln t, tabulated once, for a series whose
/// age factor all simulations share: then ln S_j(t) = c_j + L(ln t), and a
/// simulation's initiation time solves L(x) = ln R_j - c_j, an inversion of
/// one common curve instead of a search on the model per simulation.
class SharedLoadCurve {
 public:
  SharedLoadCurve(const SimulationModel& model, const std::vector<double>& times) : model_(model) {
    const double first = times.front();
    const double last = times.back();
    // ln S_unit at each time point, once for all the simulations that fail
    // there.
    for (const double t : times) log_unit_at_.push_back(std::log(model.unit_load(t)));
    const double x0 = std::log(first);
    const double step = (std::log(last) - x0) / (POINTS - 1);
    for (int k = 0; k < POINTS; ++k) {
      x_[k] = x0 + k * step;
      l_[k] = std::log(model.unit_load(std::exp(x_[k])));
      usable_ = usable_ && std::isfinite(l_[k]) && (k == 0 || l_[k] > l_[k - 1]);
    }
  }
  /// False where the curve does not rise strictly: the model is searched.
  bool usable() const { return usable_; }

  /// The time in (a, b] at which R = S, given S at a and b, where b is the
  /// time point with index `point`; NaN where the curve cannot say (R or S
  /// not positive).
  double crossing(std::int64_t j, double a, double b, std::size_t point, double sa, double sb) const {
    const double r = model_.resistance(j);
    if (!(r - sa >= 0) || !(r - sb < 0)) return b;
    if (!(r > 0 && sa > 0 && sb > 0 && std::isfinite(sb))) return std::nan("");
    const double y = std::log(r) - (std::log(sb) - log_unit_at_[point]);
    // The table interval with l_[k] <= y < l_[k + 1], then cubic
    // interpolation of x through the four points around it.
    const int k = std::clamp(static_cast<int>(std::upper_bound(l_, l_ + POINTS, y) - l_) - 1, 1, POINTS - 3);
    double x = 0;
    for (int i = k - 1; i <= k + 2; ++i) {
      double w = x_[i];
      for (int m = k - 1; m <= k + 2; ++m) {
        if (m != i) w *= (y - l_[m]) / (l_[i] - l_[m]);
      }
      x += w;
    }
    const double t = std::exp(x);
    return std::min(b, std::max(t, std::nextafter(a, b)));
  }

 private:
  static constexpr int POINTS = 2048;
  const SimulationModel& model_;
  double x_[POINTS];
  double l_[POINTS];
  std::vector<double> log_unit_at_;
  bool usable_ = true;
};

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
  prepared_resize(out, static_cast<std::size_t>(model.nsim()));
  std::unique_ptr<SharedLoadCurve> curve;
  if (model.age_shared()) {
    curve = std::make_unique<SharedLoadCurve>(model, times);
    if (!curve->usable()) curve.reset();
  }
  constexpr std::int64_t CHUNK = 4096;
  const std::int64_t nsim = model.nsim();
  for_each_chunk((nsim + CHUNK - 1) / CHUNK, model.threads(), [&](std::int64_t c) {
    const std::int64_t last = std::min(nsim, (c + 1) * CHUNK);
    for (std::int64_t j = c * CHUNK + 1; j <= last; ++j) {
      const std::int32_t f = model.first_failure(j);
      double t = std::numeric_limits<double>::infinity();
      if (f == 1) {
        t = times.front();
      } else if (f > 1) {
        const double a = times[static_cast<std::size_t>(f - 2)];
        const double b = times[static_cast<std::size_t>(f - 1)];
        const double sa = model.load_before_failure(j);
        const double sb = model.load_at_failure(j);
        // The closed form kept within the bracket that the time points give.
        t = a < b ? model.initiation_time(j) : std::nan("");
        if (!std::isnan(t)) t = std::min(b, std::max(t, std::nextafter(a, b)));
        if (std::isnan(t) && curve && a < b) t = curve->crossing(j, a, b, static_cast<std::size_t>(f - 1), sa, sb);
        if (std::isnan(t)) t = a < b ? crossing(model, j, a, b, sa, sb) : b;
      }
      out[static_cast<std::size_t>(j - 1)] = t;
    }
  });
  return out;
}

InitiationSummary summarize_initiation(std::vector<double> sorted, std::int64_t nsim, double first, double last) {
  InitiationSummary s;
  // A quantile at p is told from the sample's extreme only where n p >= 1
  // (and n (1 - p) >= 1): with fewer simulations it would be the smallest
  // (largest) time whatever p, 1 % as much as 10 %.
  std::string too_few, censored;
  for (const double q : QUANTILES) {
    const double p = q / 100;
    const auto needed = static_cast<std::int64_t>(std::ceil(1 / std::min(p, 1 - p) - 1e-9));
    double value = std::nan("");
    if (nsim < needed) {
      too_few += (too_few.empty() ? "" : ", ") + shortest_number(q) + " %";
    } else {
      value = order_statistic(sorted, quantile_rank(nsim, p));
      if (std::isnan(value)) censored += (censored.empty() ? "" : ", ") + shortest_number(q) + " %";
    }
    s.quantiles.emplace_back(q, value);
  }
  if (!too_few.empty()) {
    s.quantiles_reason = "too few simulations for " + too_few + ": a quantile at p needs at least 1 / min(p, 1 - p)";
  }
  if (!censored.empty()) {
    s.quantiles_reason += (s.quantiles_reason.empty() ? "" : "; ") + censored +
                          ": not reached by the last time point, by which a smaller share of the simulations initiates";
  }
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
  auto why = [&](const char* end, std::int64_t index) {
    const std::string cause = index < 1 || index > nsim ? "too few simulations to hold the order statistic that bounds it"
                                                        : "its order statistic is not reached by the last time point";
    s.interval_reason += (s.interval_reason.empty() ? "" : "; ") + std::string(end) + ": " + cause;
  };
  if (!std::isnan(s.years)) {
    if (std::isnan(s.low)) why("low", bounds.low);
    if (std::isnan(s.high)) why("high", bounds.high);
  }
  return s;
}

}  // namespace tbx
