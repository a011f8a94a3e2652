// The summary on simulated series: initiation times against the time
// points, importance factors of a linear limit state, the cover for a target
// against a quadrature.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "model/chloride_formulas.hpp"
#include "prob/random.hpp"
#include "prob/sampling.hpp"
#include "prob/normal.hpp"
#include "summary/summary.hpp"
#include "support/jobs.hpp"

namespace tbx {
namespace {

using test::make_job;
using namespace test::short_names;

/// A job run through the series with the summary's model attached.
struct SeriesRun {
  explicit SeriesRun(JobData j) : job(std::move(j)) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> sink(std::fopen("/dev/null", "w"), std::fclose);
    run_time_series(job, results, sink.get(), summary_cycles(kept, 1));
  }
  JobData job;
  SeriesResults results;
  std::unique_ptr<SimulationModel> kept;
  const SimulationModel& model() const { return *kept; }
};

// Beta-distributed n: every simulation has its own age factor.
JobData beta_n_job() {
  return make_job({{{N, 60, 8}, {LN, 1.079, 0.198}, {N, 0.6, 0.15}, {N, 3.0, 0.6}, {B, 2.33, 2.85},
                    {D, 0, 100}, {D, 28, 0}, {N, 15, 2}, {D, 28, 0}}},
                  4000, 10);
}

TEST(InitiationTimes, AgreeWithEveryTimePointAndLieOnTheModel) {
  for (const bool shared_age : {false, true}) {
    const SeriesRun run(shared_age ? test::typical_job(4000, 5) : beta_n_job());
    const SimulationModel& model = run.model();
    const std::vector<double> t = initiation_times(model);
    const std::vector<double>& times = model.times();
    std::vector<std::int64_t> initiated(times.size(), 0);
    std::vector<std::int64_t> failed(times.size(), 0);
    for (std::int64_t j = 1; j <= model.nsim(); ++j) {
      std::vector<double> g;
      for (const double ti : times) g.push_back(model.limit_state(j, ti));
      bool monotone = true;
      for (std::size_t i = 1; i < g.size(); ++i) monotone = monotone && !(g[i] > g[i - 1]);
      if (!monotone) continue;
      const double tj = t[static_cast<std::size_t>(j - 1)];
      for (std::size_t i = 0; i < times.size(); ++i) {
        initiated[i] += tj <= times[i];
        failed[i] += !(g[i] >= 0);
      }
      // On the model: G changes sign within a microyear of the time found.
      if (std::isfinite(tj) && tj > times.front()) {
        EXPECT_GE(model.limit_state(j, tj - 1e-6), 0.0) << j;
        EXPECT_LT(model.limit_state(j, tj + 1e-6), 0.0) << j;
      }
    }
    EXPECT_EQ(initiated, failed);
    EXPECT_GT(failed.back(), 100);
  }
}

TEST(ServiceLife, IsTheInitiationQuantileAtTheTarget) {
  std::vector<double> sorted;
  for (int i = 1; i <= 1000; ++i) sorted.push_back(i <= 900 ? i / 10.0 : INFINITY);
  const ServiceLifeSummary life = service_life(sorted, 1000, 1.2815515655446004);  // Pf 10 %
  EXPECT_DOUBLE_EQ(life.years, 10.0);  // the 100th of 1000
  EXPECT_LT(life.low, 10.0);
  EXPECT_GT(life.high, 10.0);
  const ServiceLifeSummary late = service_life(sorted, 1000, -1.6448536269514722);  // Pf 95 %: censored
  EXPECT_TRUE(std::isnan(late.years));
  EXPECT_EQ(late.interval_reason, "");  // the kind says why
  // Pf 89.9 %: the 899th is initiated, its upper bound lies beyond the 900th.
  const ServiceLifeSummary edge = service_life(sorted, 1000, -normal_quantile(0.899));
  EXPECT_DOUBLE_EQ(edge.years, 89.9);
  EXPECT_TRUE(std::isnan(edge.high));
  EXPECT_EQ(edge.interval_reason, "high: its order statistic is not reached by the last time point");
}

TEST(CornellCrossing, InterpolatesAsThePlotDoes) {
  ServiceLifeSummary life;
  cornell_crossing({1, 10, 20}, {3.0, 2.0, 1.0}, 1.5, life);
  EXPECT_EQ(life.cornell_kind, "crossing");
  EXPECT_DOUBLE_EQ(life.cornell_years, 15.0);
  cornell_crossing({1, 10, 20}, {3.0, 2.0, 1.6}, 1.5, life);
  EXPECT_EQ(life.cornell_kind, "not_reached");
  EXPECT_TRUE(std::isnan(life.cornell_years));
}

TEST(ImportanceFactors, MatchSigmaOverSigmaGForALinearLimitState) {
  // G = 5 + 3 X1 - 2 X2 + 1 X3 - 0.5 X4 in standard normals drawn as the
  // program draws them (tails folded): alpha_i = a_i / sigma_G.
  const std::int64_t nsim = 100000;
  const double a[] = {3, -2, 1, -0.5};
  std::vector<std::vector<double>> z(4, std::vector<double>(nsim));
  std::int32_t seed = 4711;
  for (std::int64_t j = 0; j < nsim; ++j) {
    for (auto& column : z) {
      double u = 0;
      uniform_deviate(seed, u);
      column[static_cast<std::size_t>(j)] = std::sqrt(2.0) * normal_core(u);
    }
  }
  std::vector<double> g(nsim, 5.0);
  for (std::size_t i = 0; i < 4; ++i) {
    for (std::int64_t j = 0; j < nsim; ++j) g[static_cast<std::size_t>(j)] += a[i] * z[i][static_cast<std::size_t>(j)];
  }
  std::vector<SimulationModel::Source> sources(4);
  for (int i = 0; i < 4; ++i) sources[static_cast<std::size_t>(i)].column = i;
  const ImportanceSummary s = importance_factors(
      g, sources, [&](const SimulationModel::Source& source, std::vector<double>& out) {
        out = z[static_cast<std::size_t>(source.column)];
      });
  const double sigma_g = std::sqrt(9 + 4 + 1 + 0.25);
  double shares = 0;
  ASSERT_EQ(s.factors.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(s.factors[i].rho, a[i] / sigma_g, 0.02) << i;
    // Linear in normals: the rank correlation is 3/pi asin(rho/2) * 2.
    EXPECT_NEAR(s.factors[i].spearman, 6 / M_PI * std::asin(a[i] / sigma_g / 2), 0.02) << i;
    shares += s.factors[i].share;
  }
  EXPECT_NEAR(shares, 100.0, 1e-9);
  EXPECT_NEAR(s.rho_squared_sum, 1.0, 0.02);
}

TEST(DesignCover, MatchesAQuadratureOverTheModelFactor) {
  // Everything deterministic but the cover: S varies only through the model
  // factor, N(1, 0.01), so Pf(mean cover) is a one-dimensional integral.
  const SeriesRun run(make_job({{{N, 50, 6}, {D, 1.5, 0}, {D, 0.4, 0}, {D, 3.0, 0}, {D, 0.45, 0}, {D, 0, 50},
                           {D, 28, 0}, {D, 20, 0}, {D, 28, 0}}},
                         100000, 5));
  SummaryOptions options;
  const Summary s = summarize(run.model(), run.results, options);
  ASSERT_TRUE(s.design_cover.reason.empty()) << s.design_cover.reason;

  const double t = 50;
  const double m = 1 - 0.45;
  const double s0 = chloride_load(diffusion_prefix(1.5, m, temperature_factor(20)), t,
                         age_factor(28.0 / 365, 28.0 / 365, m, 0.45, t), depth_factor(0.4, 3.0), 1.0);
  auto pf = [&](double mean) {  // Simpson's rule over the model factor's z
    const int n = 4000;
    const double h = 20.0 / n;
    double sum = 0;
    for (int i = 0; i <= n; ++i) {
      const double z = -10 + i * h;
      const double w = i == 0 || i == n ? 1 : i % 2 == 1 ? 4 : 2;
      sum += w * std::exp(-z * z / 2) / std::sqrt(2 * M_PI) * normal_cdf((s0 * (1 + 0.01 * z) - mean) / 6);
    }
    return sum * h / 3;
  };
  const double target = normal_cdf(-1.3);
  double lo = 0;
  double hi = 200;
  for (int i = 0; i < 100; ++i) (pf(0.5 * (lo + hi)) > target ? lo : hi) = 0.5 * (lo + hi);
  EXPECT_NEAR(s.design_cover.mean_cover, 0.5 * (lo + hi), 1e-4 * hi);
  // Its Monte Carlo interval brackets it and holds the exact answer.
  EXPECT_LT(s.design_cover.low_cover, 0.5 * (lo + hi));
  EXPECT_GT(s.design_cover.high_cover, 0.5 * (lo + hi));
  EXPECT_LT(s.design_cover.high_cover - s.design_cover.low_cover, 0.05 * hi);
  EXPECT_EQ(s.design_cover.sd_cover, 6.0);
  ASSERT_EQ(s.design_cover.curve.size(), 21u);
  EXPECT_NEAR(s.design_cover.curve[6].pf / 100, pf(50), 1e-3 * pf(50));
}

TEST(DesignCover, DegenerateAndExtremeCoverScatterGiveACoverOrAReason) {
  // A fixed cover, a scatter so small or large that the loads' spread is
  // trillions of bins wide or none, loads at the ends of the number range.
  const std::vector<double> loads{-1e308, 40, 50, 60, 1e308, INFINITY, NAN};
  EXPECT_EQ(design_cover(loads, false, 0.0, 0.1).reason, "the cover's standard deviation is not positive");
  for (const double sd : {1e-310, 1e-300, 1e300}) {
    for (const bool lognormal : {false, true}) {
      const DesignCoverSummary d = design_cover(loads, lognormal, sd, 0.5);
      EXPECT_NE(d.reason.empty(), std::isnan(d.mean_cover)) << sd << d.reason;
    }
  }
}

// Ties share their mean rank, whichever way the ranks are found: sorting the
// values, keys in their order, or keys out of order (then the values decide).
TEST(ImportanceFactors, SpearmanGivesTiesTheirMeanRankByEveryRoute) {
  const std::vector<double> g = {3, 1, 4, 1, 5, 9, 2, 6, -0.0, 0.0};
  const std::vector<double> z = {2, 7, 1, 8, 2, 8, 1, 8, 0.0, -0.0};
  auto mean_ranks = [](const std::vector<double>& v) {
    std::vector<double> r;
    for (const double x : v) {
      double below = 0, equal = 0;
      for (const double y : v) {
        if (y < x) ++below;
        if (y == x) ++equal;
      }
      r.push_back(below + (equal + 1) / 2);
    }
    return r;
  };
  const std::vector<double> rg = mean_ranks(g), rz = mean_ranks(z);
  const double n = static_cast<double>(g.size()), mean = (n + 1) / 2;
  double sxy = 0, sxx = 0, syy = 0;
  for (std::size_t i = 0; i < g.size(); ++i) {
    sxy += (rg[i] - mean) * (rz[i] - mean);
    sxx += (rg[i] - mean) * (rg[i] - mean);
    syy += (rz[i] - mean) * (rz[i] - mean);
  }
  const double expected = sxy / std::sqrt(sxx * syy);
  std::vector<SimulationModel::Source> sources(1);
  for (const int route : {0, 1, 2}) {
    const auto fill = [&](const SimulationModel::Source&, std::vector<double>& out, std::vector<std::uint32_t>& keys) {
      out = z;
      keys.clear();
      for (const double x : z) {
        const auto key = static_cast<std::uint32_t>((x + 1) * 1e8);
        if (route == 1) keys.push_back(key);
        if (route == 2) keys.push_back(~key);
      }
    };
    const ImportanceSummary s = importance_factors(g, sources, fill, 1);
    ASSERT_EQ(s.factors.size(), 1u) << s.reason;
    EXPECT_NEAR(s.factors[0].spearman, expected, 1e-14) << route;
  }
}

TEST(ImportanceFactors, GWithoutScatterGivesAReasonAndHugeGCorrelatesAsScaled) {
  const std::int64_t nsim = 1000;
  std::vector<double> z(nsim);
  for (std::int64_t j = 0; j < nsim; ++j) z[static_cast<std::size_t>(j)] = std::sin(static_cast<double>(j));
  std::vector<SimulationModel::Source> sources(1);
  const auto fill = [&](const SimulationModel::Source&, std::vector<double>& out) { out = z; };
  // The same value everywhere, or apart by an ulp: no variable has a share.
  std::vector<double> g(nsim, -2.4);
  g[7] = std::nextafter(-2.4, 0.0);
  EXPECT_TRUE(importance_factors(g, sources, fill).reason.find("G does not vary") == 0);
  // G near the largest double: the correlation of G / 2^600.
  for (std::int64_t j = 0; j < nsim; ++j) g[static_cast<std::size_t>(j)] = 1e307 * (1 + z[static_cast<std::size_t>(j)]);
  const ImportanceSummary huge = importance_factors(g, sources, fill);
  ASSERT_EQ(huge.factors.size(), 1u) << huge.reason;
  EXPECT_NEAR(huge.factors[0].rho, 1.0, 1e-12);
  EXPECT_NEAR(huge.factors[0].spearman, 1.0, 1e-12);
}

TEST(InitiationQuantiles, TooFewOrCensoredAreNullWithTheirReason) {
  const double inf = INFINITY;
  const InitiationSummary five = summarize_initiation({1, 2, 3, inf, inf}, 5, 1, 10);
  std::vector<double> values;
  for (const auto& q : five.quantiles) values.push_back(q.second);
  // Only the median can be told from the extremes of five values.
  EXPECT_TRUE(std::isnan(values[0]) && std::isnan(values[1]) && std::isnan(values[2]));
  EXPECT_EQ(values[3], 3);
  EXPECT_TRUE(std::isnan(values[4]) && std::isnan(values[5]));
  EXPECT_EQ(five.quantiles_reason,
            "too few simulations for 1 %, 5 %, 10 %, 90 %, 95 %: a quantile at p needs at least 1 / min(p, 1 - p)");

  const InitiationSummary ten = summarize_initiation({1, 2, 3, 4, 5, 6, 7, 8, inf, inf}, 10, 1, 10);
  EXPECT_EQ(ten.quantiles[2].second, 1);
  EXPECT_EQ(ten.quantiles[3].second, 5);
  EXPECT_EQ(ten.quantiles_reason,
            "too few simulations for 1 %, 5 %, 95 %: a quantile at p needs at least 1 / min(p, 1 - p); 90 %: "
            "not reached by the last time point, by which a smaller share of the simulations initiates");
}

}  // namespace
}  // namespace tbx
