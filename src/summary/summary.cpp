#include "summary/summary.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "core/number_format.hpp"
#include "core/usage_error.hpp"
#include "core/version.hpp"
#include "engine/time_series.hpp"
#include "files/sha256.hpp"
#include "model/job_data.hpp"
#include "prob/normal.hpp"
#include "summary/binomial.hpp"
#include "summary/prepared_vector.hpp"

namespace tbx {

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

std::string years_text(double t) { return shortest_number(t); }

/// Why the values of a time point that are not finite numbers are so.
std::string time_point_reason(const TimePointSummary& p, std::int64_t nsim, bool flat) {
  std::string why;
  auto add = [&](const char* text) { why += (why.empty() ? "" : "; ") + std::string(text); };
  if (p.failures == 0) add("no simulation fails: beta, beta_high, cov and nsim_for_cov10 are infinite");
  if (p.failures == nsim) add("every simulation fails: beta and beta_low are minus infinity");
  if (flat) {
    add("beta_cornell: G does not vary at this time (its sd is no larger than the rounding of its mean), so "
        "mean(G)/sd(G) would be rounding");
  } else if (std::isnan(p.beta_cornell) && nsim < 2) {
    add("beta_cornell: one simulation has no sd(G)");
  } else if (std::isnan(p.beta_cornell)) {
    add("beta_cornell: mean(G)/sd(G) is not a number: G is 0 in every simulation, or G or the sum of its "
        "squares is not a finite number");
  }
  return why;
}

}  // namespace

std::int64_t fewest_simulations(double p) {
  const double tail = (1 - SUMMARY_CONFIDENCE) / 2;
  const double rarer = std::min(p, 1 - p);
  if (!(rarer > 0)) return std::numeric_limits<std::int64_t>::max();
  const double log_q = std::log1p(-rarer);
  // The smallest n with q^n <= tail, from the logarithms and then made exact
  // against the powers themselves.
  double n = std::max(1.0, std::ceil(std::log(tail) / log_q));
  if (!(n < 9e18)) return std::numeric_limits<std::int64_t>::max();
  while (n > 1 && std::exp((n - 1) * log_q) <= tail) n -= 1;
  while (std::exp(n * log_q) > tail) n += 1;
  return static_cast<std::int64_t>(n);
}

namespace {

/// Ulp of rounding allowed per simulation in sd(G) (see without_scatter).
double scatter_floor(std::int64_t n) {
  return std::max(2.0 * static_cast<double>(n), 64.0) * std::numeric_limits<double>::epsilon();
}

}  // namespace

bool without_scatter(double mean, double sd, std::int64_t n) { return sd <= scatter_floor(n) * std::fabs(mean); }

bool index_without_scatter(double beta_cornell, std::int64_t n) {
  return std::isinf(beta_cornell) || std::fabs(beta_cornell) * scatter_floor(n) >= 1;
}

std::vector<double> series_times(const JobData& job) {
  const double tmin = job.dist_param[1][TIME];
  const double tmax = job.dist_param[2][TIME];
  const double step = time_step(tmin, tmax, job.n_intervals);
  const std::int32_t intervals = tmax == 0 ? 0 : job.n_intervals;
  std::vector<double> times;
  for (std::int64_t i = 1; i <= std::int64_t{intervals} + 1; ++i) times.push_back(time_point(i, intervals, tmin, step));
  return times;
}

void check_design_life(const JobData& job, const SummaryOptions& options) {
  if (options.design_life) check_design_life(series_times(job), options);
}

void check_design_life(const std::vector<double>& times, const SummaryOptions& options) {
  if (!options.design_life) return;
  const auto [first, last] = std::minmax_element(times.begin(), times.end());
  const double life = *options.design_life;
  if (life < *first || life > *last) {
    throw UsageError("--design-life: " + years_text(life) + " years lies outside the series of the job, " +
                     years_text(*first) + " to " + years_text(*last) + " years");
  }
}

std::vector<TimePointSummary> summarize_time_points(const std::vector<double>& times,
                                                    const std::vector<std::int64_t>& failures,
                                                    std::int64_t nsim, const SeriesResults& results) {
  std::vector<TimePointSummary> out;
  const auto n = static_cast<double>(nsim);
  for (std::size_t i = 0; i < times.size(); ++i) {
    TimePointSummary s;
    s.t = times[i];
    s.failures = failures[i];
    const double p = static_cast<double>(s.failures) / n;
    const Interval ci = clopper_pearson(s.failures, nsim, SUMMARY_CONFIDENCE);
    s.pf = 100 * static_cast<double>(s.failures) / n;
    s.pf_se = 100 * std::sqrt(p * (1 - p) / n);
    s.pf_low = 100 * ci.low;
    s.pf_high = 100 * ci.high;
    s.beta = -normal_quantile(p);
    s.beta_low = -normal_quantile(ci.high);
    s.beta_high = -normal_quantile(ci.low);
    s.beta_cornell = results.beta[static_cast<std::int64_t>(i) + 1];
    s.cov = p > 0 ? std::sqrt((1 - p) / (n * p)) : INF;
    s.nsim_for_cov10 = p > 0 ? std::max(1.0, std::ceil(100 * (1 - p) / p)) : INF;
    const bool flat = index_without_scatter(s.beta_cornell, nsim);
    if (flat) s.beta_cornell = std::nan("");
    s.reason = time_point_reason(s, nsim, flat);
    out.push_back(s);
  }
  return out;
}

void cornell_crossing(const std::vector<double>& times, const std::vector<double>& beta, double target,
                      ServiceLifeSummary& life) {
  // As the plot has always drawn it: points whose index is not a number are
  // left out; an infinite index puts the crossing on its finite neighbour.
  std::vector<std::size_t> points;
  for (std::size_t i = 0; i < beta.size(); ++i) {
    if (!std::isnan(beta[i])) points.push_back(i);
  }
  life.cornell_years = std::nan("");
  if (points.empty()) {
    life.cornell_kind = "undefined";
    life.cornell_reason = "mean(G)/sd(G) is not defined at any time point (see their reasons)";
    return;
  }
  if (beta[points[0]] < target) {
    life.cornell_kind = "at_start";
    life.cornell_years = times[points[0]];
    return;
  }
  for (std::size_t k = 1; k < points.size(); ++k) {
    const double b0 = beta[points[k - 1]];
    const double b1 = beta[points[k]];
    if (b1 < target) {
      const double fraction = std::isinf(b0) ? 1.0 : std::isinf(b1) ? 0.0 : (b0 - target) / (b0 - b1);
      const double t0 = times[points[k - 1]];
      life.cornell_kind = "crossing";
      life.cornell_years = t0 + fraction * (times[points[k]] - t0);
      return;
    }
  }
  life.cornell_kind = "not_reached";
}

namespace {

/// The verdict at the design life: from its time point where it is one,
/// else from the limit states g there, counted as the series counts them.
Verdict verdict_at(const Summary& s, const std::vector<double>& g, const SimulationModel& model, double target) {
  for (const TimePointSummary& p : s.time_points) {
    if (p.t == s.design_life) return verdict_of(p, target);
  }
  std::int64_t failures = 0;
  for (const double v : g) failures += model.fails(v) ? 1 : 0;
  TimePointSummary p;
  const double pf = static_cast<double>(failures) / static_cast<double>(s.nsim);
  const Interval ci = clopper_pearson(failures, s.nsim, SUMMARY_CONFIDENCE);
  p.t = s.design_life;
  p.failures = failures;
  p.beta = -normal_quantile(pf);
  p.beta_low = -normal_quantile(ci.high);
  p.beta_high = -normal_quantile(ci.low);
  return verdict_of(p, target);
}

std::string index_text(double beta) {
  if (std::isinf(beta)) return beta > 0 ? "+infinity" : "-infinity";
  std::string out;
  append_fixed(out, beta, 0, 3);
  return out;
}

}  // namespace

Verdict verdict_of(const TimePointSummary& point, double target_beta) {
  Verdict v;
  v.design_life = point.t;
  v.target_beta = target_beta;
  v.failures = point.failures;
  v.beta = point.beta;
  v.beta_low = point.beta_low;
  v.beta_high = point.beta_high;
  const bool passes = v.beta >= target_beta;
  v.outcome = passes ? "passes" : "fails";
  v.settled = passes ? v.beta_low >= target_beta : v.beta_high < target_beta;
  return v;
}

std::string verdict_text(const Verdict& v) {
  std::string out = "at " + shortest_text(v.design_life) + " years the index is " + index_text(v.beta) +
                    " (95 % interval " + index_text(v.beta_low) + " to " + index_text(v.beta_high) + "), " +
                    (v.beta > v.target_beta ? "above" : v.beta < v.target_beta ? "below" : "at") + " the target " +
                    shortest_text(v.target_beta) + ": " + v.outcome;
  if (!v.settled) out += " (the interval includes the target: more simulations would settle it)";
  return out;
}

std::string verdict_lines(const Summary& s) {
  std::string out = "\nVerdict: " + verdict_text(s.verdict) + "\n";
  const ServiceLifeSummary& life = s.service_life;
  out += "Service life: ";
  if (life.kind == "estimate") {
    out += shortest_text(life.years, 4) + " years (95 % interval " +
           (std::isnan(life.low) ? std::string("none") : shortest_text(life.low, 4)) + " to " +
           (std::isnan(life.high) ? std::string("none") : shortest_text(life.high, 4)) + ")\n";
  } else if (life.kind == "at_start") {
    out += "at most " + shortest_text(life.years, 4) + " years (Pf at the first time point exceeds the target)\n";
  } else if (life.kind == "not_reached") {
    out += "not reached by the last time point\n";
  } else {
    out += "not defined: " + life.reason + "\n";
  }
  const DesignCoverSummary& d = s.design_cover;
  out += "Design cover: ";
  if (!d.reason.empty()) {
    out += "not computed: " + d.reason + "\n";
  } else {
    out += shortest_text(d.mean_cover, 4) + " mm (95 % interval " +
           (std::isnan(d.low_cover) ? std::string("none") : shortest_text(d.low_cover, 4)) + " to " +
           (std::isnan(d.high_cover) ? std::string("none") : shortest_text(d.high_cover, 4)) + " mm)\n";
  }
  out += "The intervals are Monte Carlo uncertainty only (the number of simulations), not model uncertainty.\n";
  return out;
}

std::string run_date() {
  std::time_t when = std::time(nullptr);
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
    char* end = nullptr;
    const long long seconds = std::strtoll(epoch, &end, 10);
    if (*epoch != '\0' && *end == '\0' && seconds >= 0) when = static_cast<std::time_t>(seconds);
  }
  std::tm utc{};
  char text[32] = "";
  if (gmtime_r(&when, &utc) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

Provenance run_provenance(const std::string& job_file, const std::string& job_text, std::int64_t seed) {
  Provenance p;
  p.program = std::string("tbxrun ") + TBX_VERSION;
  p.date = run_date();
  p.job_file = job_file;
  p.job_sha256 = sha256_hex(job_text);
  p.seed = seed;
  return p;
}

Summary summarize(const SimulationModel& model, const SeriesResults& results, const SummaryOptions& options) {
  Summary s;
  s.nsim = model.nsim();
  const std::vector<double>& times = model.times();
  s.design_life = options.design_life ? *options.design_life : times.back();
  s.time_points = summarize_time_points(times, model.failures(), s.nsim, results);

  const bool one_time = times.front() == times.back();
  std::vector<double> initiation;
  if (!one_time) initiation = initiation_times(model);
  if (initiation.empty()) {
    const char* why =
        one_time ? "the series has a single time: there is no span of time in which to find when G "
                   "becomes negative"
                 : "the exposure time is random: every time point draws its own times, so a simulation "
                   "has no single initiation time";
    s.initiation.reason = why;
    s.service_life.target_beta = options.target_beta;
    s.service_life.target_pf = 100 * normal_cdf(-options.target_beta);
    s.service_life.reason = why;
    s.service_life.years = s.service_life.low = s.service_life.high = std::nan("");
  } else {
    // Only the initiated ones need ordering; the censored ones go last.
    const auto censored = std::partition(initiation.begin(), initiation.end(),
                                         [](double t) { return !std::isinf(t); });
    std::sort(initiation.begin(), censored);
    s.service_life = service_life(initiation, s.nsim, options.target_beta);
    s.initiation = summarize_initiation(std::move(initiation), s.nsim, times.front(), times.back());
  }
  std::vector<double> beta_cornell;
  for (const TimePointSummary& p : s.time_points) beta_cornell.push_back(p.beta_cornell);
  cornell_crossing(times, beta_cornell, options.target_beta, s.service_life);
  ServiceLifeSummary& life = s.service_life;
  const double target_pf = normal_cdf(-options.target_beta);
  const std::int64_t fewest = fewest_simulations(target_pf);
  const std::string too_few =
      s.nsim >= fewest ? std::string()
                       : "too few simulations: " + std::to_string(s.nsim) + " where the quantile at Pf = " +
                             shortest_text(100 * target_pf, 4) + " % needs at least " + std::to_string(fewest) +
                             " for its 95 % interval; fewer leave it to the draws of single simulations";
  if (life.reason.empty() && !too_few.empty()) {
    life.reason = too_few;
    life.years = life.low = life.high = std::nan("");
    life.interval_reason.clear();
  }
  if (!life.reason.empty()) {
    life.kind = "undefined";
  } else if (std::isnan(life.years)) {
    life.kind = "not_reached";
  } else if (life.years == times.front()) {
    life.kind = "at_start";
  } else {
    life.kind = "estimate";
  }

  // The cover each simulation needs at the design life, then the limit
  // state there for the importance factors.
  std::vector<double> values;
  model.cover_loads(s.design_life, values);
  const CoverDistribution cover = model.cover();
  if (!cover.reason.empty()) {
    s.design_cover.reason = cover.reason;
  } else if (!too_few.empty()) {
    s.design_cover.reason = too_few;
  } else {
    const OrderBounds bounds = quantile_order_bounds(s.nsim, target_pf, SUMMARY_CONFIDENCE);
    const auto n = static_cast<double>(s.nsim);
    s.design_cover = design_cover(values, cover.lognormal, cover.sd, target_pf, static_cast<double>(bounds.low) / n,
                                  static_cast<double>(bounds.high) / n);
  }

  model.limit_states_from_cover_loads(s.design_life, values);
  s.verdict = verdict_at(s, values, model, options.target_beta);
  s.importance = importance_factors(std::move(values), model.sources(),
                                    [&](const SimulationModel::Source& source, std::vector<double>& z,
                                        std::vector<std::uint32_t>& keys) { model.fill_normals(source, z, &keys); },
                                    model.threads());
  s.form = form_at(model, s.design_life);
  s.sobol = sobol_at(model, s.design_life, options.sobol_simulations);
  return s;
}

}  // namespace tbx
