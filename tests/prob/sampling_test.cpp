#include "prob/sampling.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "core/fatal.hpp"
#include "prob/inverse_beta.hpp"
#include "prob/random.hpp"
#include "prob/ulp.hpp"

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
    ASSERT_TRUE(tbx::VariableSampler(0, m, s).draw(u, value, nan_texts));
    ASSERT_EQ(value, normal(u, m, s)) << u << " " << m << " " << s;
    ASSERT_EQ(tbx::normal_from_core(tbx::normal_core(u), m, s), value);
    ASSERT_TRUE(tbx::VariableSampler(1, m / 10.0, s / 5.0).draw(u, value, nan_texts));
    ASSERT_EQ(value, lognormal(u, m / 10.0, s / 5.0));
    if (i % 10 == 0) {
      const double a = shape(rng);
      const double b = shape(rng);
      ASSERT_TRUE(tbx::VariableSampler(2, a, b).draw(u, value, nan_texts));
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

// A job of nine variables over three simulations, filled from the generator.
class SampleVariables : public testing::Test {
 protected:
  static constexpr int N_SIM = 3;

  SampleVariables() : dist_type(9), dist_param(2, 9), uniforms(N_SIM, 9), sample(10) {
    // xc N, Dcoef D, Ccr LN, Cs B, n D, t D, to D, temp N, te unknown code 4.
    const std::int32_t types[9] = {0, 7, 1, 2, 7, 7, 7, 0, 4};
    const double first[9] = {50, 1.5, -0.5, 2.0, 0.4, 10, 28, 12, 7};
    const double second[9] = {5, 0.0, 0.2, 3.0, 0.0, 50, 0.0, 3, 0.0};
    for (int i = 1; i <= 9; ++i) {
      dist_type[i] = types[i - 1];
      dist_param[1][i] = first[i - 1];
      dist_param[2][i] = second[i - 1];
    }
    std::int32_t seed = 12345;
    for (int k = 1; k <= N_SIM; ++k) {
      for (int i = 1; i <= 9; ++i) tbx::uniform_deviate(seed, uniforms[k][i]);
    }
  }

  void run(int k, int analysis_mode) {
    sample[9] = -77.0;  // the unknown code must leave this alone
    tbx::sample_variables(k, analysis_mode, dist_type, sample, dist_param, uniforms);
  }

  tbx::IntVector dist_type;
  tbx::RealMatrix dist_param;
  tbx::RealMatrix uniforms;
  tbx::RealVector sample;
};

TEST_F(SampleVariables, EachVariableFromItsOwnColumn) {
  for (int k = 1; k <= N_SIM; ++k) {
    run(k, 0);
    const auto u = uniforms[k];
    double beta = u[4];
    tbx::inverse_beta(beta, 2.0, 3.0);
    EXPECT_EQ(sample[1], normal(u[1], 50, 5));
    EXPECT_EQ(sample[2], 1.5);
    EXPECT_EQ(sample[3], lognormal(u[3], -0.5, 0.2));
    EXPECT_EQ(sample[4], beta);
    EXPECT_EQ(sample[5], 0.4);
    EXPECT_EQ(sample[6], 10.0);
    EXPECT_EQ(sample[7], 28.0);
    EXPECT_EQ(sample[8], normal(u[8], 12, 3));
    EXPECT_EQ(sample[9], -77.0);
    // The model factor shares column 8 with temp.
    EXPECT_EQ(sample[10], normal(u[8], 1.0, 0.01));
  }
}

// Mode 1 multiplies Dcoef by N(0.832, 0.024), also driven by column 8, even
// when Dcoef is deterministic; modes 0 and 2 leave its draw alone.
TEST_F(SampleVariables, DcoefFactorOnlyInModeOne) {
  double previous = 0.0;
  for (int k = 1; k <= N_SIM; ++k) {
    const double u8 = uniforms[k][8];
    run(k, 1);
    EXPECT_EQ(sample[2], normal(u8, 0.832, 0.024) * 1.5);
    EXPECT_NE(sample[2], previous);
    previous = sample[2];
    EXPECT_EQ(sample[10], normal(u8, 1.0, 0.01));
    run(k, 2);
    EXPECT_EQ(sample[2], 1.5);
  }
  dist_type[2] = 0;
  dist_param[2][2] = 0.1;
  run(2, 1);
  EXPECT_EQ(sample[2], normal(uniforms[2][8], 0.832, 0.024) * normal(uniforms[2][2], 1.5, 0.1));
}

// A beta variable that cannot be inverted ends the run as inverse_beta does:
// the fraction's texts first, then the report.
TEST_F(SampleVariables, FailedBetaInversionEndsTheRun) {
  dist_param[1][4] = 1e7;
  dist_param[2][4] = 1e7;
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  std::string report;
  try {
    run(1, 0);
  } catch (const tbx::FatalError& e) {
    report = e.report();
  }
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n NaN \n\n NaN \n");
  EXPECT_EQ(report, "\nERROR:\nWarning: BETAINV did not converge \n\n");
}

}  // namespace
