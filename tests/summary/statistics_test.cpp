// The summary's statistics against values computed independently at high
// precision (tests/data/gen_summary_tables.py).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "summary/binomial.hpp"
#include "prob/normal.hpp"
#include "summary/summary.hpp"
#include "summary/summary_files.hpp"

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
