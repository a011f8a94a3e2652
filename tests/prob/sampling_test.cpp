#include "prob/sampling.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "prob/inverse_beta.hpp"
#include "prob/random.hpp"
#include "support/ulp.hpp"

namespace {

double normal(double u, double mean, double std_dev) {
  return tbx_test::in_place(tbx::normal_deviate, u, mean, std_dev);
}
double lognormal(double u, double lambda, double zeta) {
  return tbx_test::in_place(tbx::lognormal_deviate, u, lambda, zeta);
}

TEST(Sampling, MedianGivesTheLocation) {
  EXPECT_EQ(normal(0.5, 3.25, 7.0), 3.25);
  EXPECT_EQ(lognormal(0.5, 0.7, 2.0), std::exp(0.7));
}

// |2u - 1| > 0.999 takes the value for 0.9: the 5 % and 95 % quantiles,
// +-1.64485362695147 standard deviations. The stuck generator's u = 0
// belongs to the lower side.
TEST(Sampling, FarTailsTakeTheFivePercentQuantiles) {
  const double low = normal(0.0, 0.0, 1.0);
  const double high = normal(0.9996, 0.0, 1.0);
  EXPECT_TRUE(tbx_test::matches_digits(low, -1.64485362695147, 15)) << low;
  EXPECT_EQ(high, -low);
  for (double u : {1e-300, 1e-9, 0.0004}) {
    EXPECT_EQ(normal(u, 10.0, 2.0), normal(0.0, 10.0, 2.0)) << u;
    EXPECT_EQ(normal(1.0 - u, 10.0, 2.0), normal(0.9996, 10.0, 2.0)) << u;
    EXPECT_EQ(lognormal(u, 1.5, 0.25), std::exp(normal(0.0, 1.5, 0.25))) << u;
    EXPECT_EQ(lognormal(1.0 - u, 1.5, 0.25), std::exp(normal(0.9996, 1.5, 0.25))) << u;
  }
  EXPECT_NE(normal(0.0006, 10.0, 2.0), normal(0.0, 10.0, 2.0));
}

// The per-variable samplers exist for speed; they must give the in-place
// routines' bits for every input.
TEST(Sampling, SamplersMatchTheInPlaceRoutines) {
  std::mt19937_64 rng(20240601);
  std::uniform_real_distribution<double> location(-50.0, 50.0);
  std::uniform_real_distribution<double> spread(1e-3, 10.0);
  std::uniform_real_distribution<double> shape(0.3, 40.0);
  std::int32_t seed = 4711;
  for (int i = 0; i < 20000; ++i) {
    double u = 0.0;
    tbx::uniform_deviate(seed, u);
    if (i % 1000 == 0) u = i % 2000 == 0 ? 1e-5 : 1.0 - 1e-5;  // the far tails too
    const double m = location(rng);
    const double s = spread(rng);
    int nan_texts = 0;
    double value = 0.0;
    ASSERT_TRUE(tbx::VariableSampler(tbx::Distribution::normal, m, s).draw(u, value, nan_texts));
    ASSERT_EQ(value, normal(u, m, s)) << u << " " << m << " " << s;
    ASSERT_EQ(tbx::normal_from_core(tbx::normal_core(u), m, s), value);
    ASSERT_TRUE(tbx::VariableSampler(tbx::Distribution::lognormal, m / 10.0, s / 5.0).draw(u, value, nan_texts));
    ASSERT_EQ(value, lognormal(u, m / 10.0, s / 5.0));
    if (i % 10 == 0) {
      const double a = shape(rng);
      const double b = shape(rng);
      ASSERT_TRUE(tbx::VariableSampler(tbx::Distribution::beta, a, b).draw(u, value, nan_texts));
      double p = u;
      tbx::inverse_beta(p, a, b);
      ASSERT_EQ(value, p) << u << " " << a << " " << b;
    }
    ASSERT_EQ(nan_texts, 0);
  }
}

struct PinnedVariate {
  const char* distribution;
  double u, a, b;
  double value;
};

constexpr PinnedVariate PINNED[] = {
#include "data/prob_pinned_samplers.inc"
};

// The variates' bits from an evaluation of the same formulas in double
// arithmetic (see the generator), for uniform numbers as the generator makes
// them, the ends 0 and 1 and the neighbours of the far-tail limit.
TEST(Sampling, PinnedBits) {
  for (const PinnedVariate& p : PINNED) {
    const std::string distribution = p.distribution;
    double value = p.u;
    if (distribution == "normal") tbx::normal_deviate(value, p.a, p.b);
    if (distribution == "lognormal") tbx::lognormal_deviate(value, p.a, p.b);
    if (distribution == "beta") tbx::inverse_beta(value, p.a, p.b);
    EXPECT_EQ(value, p.value) << distribution << "(" << p.a << ", " << p.b << ") at u = " << p.u;
  }
}

}  // namespace
