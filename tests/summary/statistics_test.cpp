// The summary's statistics against values computed independently at high
// precision (tests/data/gen_summary_tables.py).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "engine/time_series.hpp"
#include "prob/normal.hpp"
#include "report/summary_files.hpp"
#include "summary/binomial.hpp"
#include "summary/summary.hpp"
#include "support/ulp.hpp"

namespace tbx {
namespace {

struct QuantileCase {
  double p, z;
};
const QuantileCase QUANTILES[] = {
#include "data/summary_normal_quantile.inc"
};

TEST(NormalQuantile, MatchesHighPrecisionValues) {
  for (const QuantileCase& c : QUANTILES) {
    EXPECT_NEAR(normal_quantile(c.p), c.z, 4e-16 * std::fabs(c.z) + 1e-300) << "p = " << c.p;
    // The samplers' rational form: within a few units in the last place.
    EXPECT_NEAR(normal_quantile_wichura(c.p), c.z, 1e-15 * std::fabs(c.z) + 1e-300) << "p = " << c.p;
    // The fast form used for correlations: about 1e-9.
    if (c.p > 1e-300) {
      EXPECT_NEAR(normal_quantile_fast(c.p), c.z, 1.2e-9 * std::max(1.0, std::fabs(c.z))) << c.p;
    }
  }
  EXPECT_EQ(normal_quantile(0.0), -INFINITY);
  EXPECT_EQ(normal_quantile(1.0), INFINITY);
  EXPECT_EQ(normal_quantile(0.5), 0.0);
}

struct IntervalCase {
  std::int64_t k, n;
  double low, high;
};
const IntervalCase INTERVALS[] = {
#include "data/summary_clopper_pearson.inc"
};

TEST(ClopperPearson, MatchesExactBinomialInversion) {
  for (const IntervalCase& c : INTERVALS) {
    const Interval ci = clopper_pearson(c.k, c.n, 0.95);
    EXPECT_NEAR(ci.low, c.low, 1e-9 * c.low) << c.k << " of " << c.n;
    EXPECT_NEAR(ci.high, c.high, 1e-9 * c.high) << c.k << " of " << c.n;
  }
}

struct BoundsCase {
  std::int64_t n;
  double p;
  std::int64_t low, high;
};
const BoundsCase BOUNDS[] = {
#include "data/summary_order_bounds.inc"
};

TEST(QuantileOrderBounds, MatchExactBinomialSums) {
  for (const BoundsCase& c : BOUNDS) {
    const OrderBounds b = quantile_order_bounds(c.n, c.p, 0.95);
    EXPECT_EQ(b.low, c.low) << c.n << ", " << c.p;
    EXPECT_EQ(b.high, c.high) << c.n << ", " << c.p;
  }
}

TEST(FewestSimulations, AreWhereTheOrderBoundsFirstBothExist) {
  // 37 at the default target Beta 1.3; symmetric in p and 1 - p.
  EXPECT_EQ(fewest_simulations(normal_cdf(-1.3)), 37);
  for (const double p : {0.5, 0.3, normal_cdf(-1.3), 0.01, 1e-4, 0.9, 0.999}) {
    const std::int64_t n = fewest_simulations(p);
    const OrderBounds enough = quantile_order_bounds(n, p, SUMMARY_CONFIDENCE);
    EXPECT_TRUE(enough.low >= 1 && enough.high <= n) << p;
    const OrderBounds fewer = quantile_order_bounds(n - 1, p, SUMMARY_CONFIDENCE);
    EXPECT_TRUE(fewer.low < 1 || fewer.high > n - 1) << p;
  }
}

TEST(WithoutScatter, IsSdWithinTheRoundingOfTheMean) {
  const double eps = std::numeric_limits<double>::epsilon();
  const struct {
    double mean, sd;
    std::int64_t n;
    bool flat;
  } cases[] = {
      {-2.4, 0, 1000, true},
      {0, 0, 1000, true},
      {-2.4, 2.4 / 5.3e13, 1000, true},   // the index -5.3e13 that rounding once gave
      {-2.4, 2.4 / 5.3e13, 10, false},    // ten values cannot round that far
      {1, 1999 * eps, 1000, true},
      {1, 2001 * eps, 1000, false},
      {1, 64 * eps, 3, true},             // a few ulp in each value
      {1, 1e-9, 1000000, false},
      {1, std::nan(""), 1000, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(without_scatter(c.mean, c.sd, c.n), c.flat) << c.mean << " " << c.sd << " " << c.n;
    EXPECT_EQ(index_without_scatter(c.mean / c.sd, c.n), c.flat && c.mean != 0) << c.mean << " " << c.sd;
  }
  EXPECT_TRUE(index_without_scatter(-std::numeric_limits<double>::infinity(), 5));
}

TEST(ShortestNumber, ReadsBackToTheSameDouble) {
  for (const double x : {0.1, 1.0 / 3, 3.4799999999999995, 1e-300, 5e-324, -2.5, 1e21, 100.0}) {
    const std::string text = shortest_number(x);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), x) << text;
  }
  EXPECT_EQ(shortest_number(0.1), "0.1");
  EXPECT_EQ(shortest_number(100), "100");
  EXPECT_EQ(shortest_number(INFINITY), "null");
  EXPECT_EQ(shortest_number(NAN), "null");
}

}  // namespace
}  // namespace tbx

namespace tbx {
namespace {

struct TimePointCase {
  std::int64_t k, n;
  double pf_se, beta, pf_low, pf_high, beta_low, beta_high;
};
const TimePointCase TIME_POINTS[] = {
#include "data/summary_time_points.inc"
};

/// Within `ulps` units in the last place, infinities and NaN only of the same kind.
void expect_ulps(double got, double want, std::uint64_t ulps, const char* what) {
  if (std::isinf(want)) {
    EXPECT_EQ(got, want) << what;
    return;
  }
  if (std::isnan(want)) return;
  EXPECT_LE(tbx_test::ulp_distance(got, want), ulps) << what << ": " << got << ", expected " << want;
}

// The standard error, -Phi^-1(Pf), and at no failures and at all failures the
// Clopper-Pearson bounds with their indices, which have closed forms there:
// a bound near 0 or 1 must not lose its digits to cancellation
// (tests/data/gen_summary_edges.py).
TEST(TimePointSummary, MatchesClosedFormsAtHighPrecision) {
  for (const TimePointCase& c : TIME_POINTS) {
    SeriesResults results;
    allocate_series_results(results, c.n, 1);
    const TimePointSummary s = summarize_time_points({10.0}, {c.k}, c.n, results).front();
    SCOPED_TRACE(std::to_string(c.k) + " of " + std::to_string(c.n));
    EXPECT_EQ(s.pf, 100.0 * static_cast<double>(c.k) / static_cast<double>(c.n));
    expect_ulps(s.pf_se, c.pf_se, 4, "pf_se");
    expect_ulps(s.beta, c.beta, 4, "beta");
    expect_ulps(s.pf_low, c.pf_low, 4, "pf_low");
    expect_ulps(s.pf_high, c.pf_high, 4, "pf_high");
    expect_ulps(s.beta_low, c.beta_low, 8, "beta_low");
    expect_ulps(s.beta_high, c.beta_high, 8, "beta_high");
  }
}

struct DesignCoverCase {
  double s, sd, pf, mean;
};
const DesignCoverCase DESIGN_COVERS[] = {
#include "data/summary_design_cover.inc"
};

// Equal loads S: Pf = Phi((S - mean) / sd) has the closed form
// mean = S - sd Phi^-1(Pf), which the search reaches to its stopping width of
// 1e-12 relative.
TEST(DesignCover, EqualLoadsGiveTheClosedForm) {
  for (const DesignCoverCase& c : DESIGN_COVERS) {
    const DesignCoverSummary d = design_cover(std::vector<double>(1000, c.s), false, c.sd, c.pf);
    ASSERT_TRUE(d.reason.empty()) << d.reason;
    EXPECT_NEAR(d.mean_cover, c.mean, 1e-12 * c.mean) << "S " << c.s << ", Pf " << c.pf;
  }
}

// Bins (from, to], the first from `first`: the 20 bins tile the range with
// no gap or overlap, each edge within an ulp of first + (last - first) b / 20,
// and a time exactly on an edge counts in the bin it ends.
TEST(InitiationHistogram, EdgesTileTheRangeAndTimesOnEdgesCountBelow) {
  for (const auto& [first, last] : {std::pair{0.0, 20.0}, std::pair{1.0, 50.3}, std::pair{0.7, 123.45}}) {
    const InitiationSummary empty = summarize_initiation({}, 1, first, last);
    ASSERT_EQ(empty.histogram.size(), 20u);
    std::vector<double> times;
    for (const HistogramBin& bin : empty.histogram) times.push_back(bin.to);
    times.push_back(INFINITY);  // censored
    const InitiationSummary s = summarize_initiation(times, static_cast<std::int64_t>(times.size()), first, last);
    EXPECT_EQ(s.censored, 1);
    for (std::size_t b = 0; b < 20; ++b) {
      SCOPED_TRACE("bin " + std::to_string(b) + " of [" + std::to_string(first) + ", " + std::to_string(last) + "]");
      const HistogramBin& bin = s.histogram[b];
      const long double exact = first + (static_cast<long double>(last) - first) * static_cast<long double>(b) / 20;
      EXPECT_LE(tbx_test::ulp_distance(bin.from, static_cast<double>(exact)), 1u);
      EXPECT_EQ(bin.from, b == 0 ? first : s.histogram[b - 1].to);
      EXPECT_EQ(bin.count, 1);
    }
    EXPECT_EQ(s.histogram.back().to, last);
  }
}

}  // namespace
}  // namespace tbx
