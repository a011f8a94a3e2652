#include "prob/moment_distribution.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "prob/normal.hpp"
#include "prob/regularized_beta.hpp"
#include "support/ulp.hpp"

namespace {

using tbx::MomentDistribution;
using tbx::MomentKind;
using tbx::MomentSampler;
using tbx::RegularizedBeta;

double relative_error(double value, double expected) { return std::fabs(value / expected - 1); }

// I_x(p, q) from below (cdf) or from above (upper_tail, whose argument is
// 1 - x), computed with mpmath at 50 digits for the exact double arguments:
//   mpmath.betainc(p, q, 0, x, regularized=True)  (from above: (q, p, 0, 1 - x))
// A few hundred ulps are allowed: the front factor x^p (1 - x)^q / B(p, q)
// is formed from logarithms of size up to p ln x.
TEST(RegularizedBeta, MatchesHighPrecisionValues) {
  constexpr double TOLERANCE = 1e-13;
  struct Row {
    double p, q;
    bool from_below;
    double argument, expected;
  };
  const Row rows[] = {
      {0.3, 2.5, true, 1e-30, 1.4052212040843843e-9},
      {0.3, 2.5, true, 0.01, 0.35175549746174802},
      {0.3, 2.5, true, 0.2, 0.80877953361028204},
      {0.3, 2.5, false, 0.4, 0.021769109654919094},
      {0.3, 2.5, false, 0.01, 1.6947529262581725e-6},
      {50, 0.7, true, 0.2, 2.8578709033838819e-36},
      {50, 0.7, true, 0.6, 2.5080535549512585e-12},
      {50, 0.7, true, 0.99, 0.44190140734246686},
      {50, 0.7, false, 0.01, 0.55809859265753289},
      // Shapes where a plain difference of log-gammas would lose 1e-11.
      {1244, 4355, true, 0.21, 0.013327796439875204},
      {1244, 4355, false, 0.7779, 0.50355120148519915},
  };
  for (const Row& r : rows) {
    const RegularizedBeta beta(r.p, r.q);
    const double value = r.from_below ? beta.cdf(r.argument) : beta.upper_tail(r.argument);
    EXPECT_LE(relative_error(value, r.expected), TOLERANCE)
        << "p " << r.p << ", q " << r.q << (r.from_below ? ", x " : ", 1 - x ") << r.argument << ": " << value;
  }
}

// Quantiles are solved from the nearer end, so the far tails keep their
// relative precision on both sides (1e-12 and 1 - 1e-12 alike).
TEST(RegularizedBeta, QuantilesInvertTheDistributionFunction) {
  constexpr double TOLERANCE = 1e-12;
  const double shapes[][2] = {{0.3, 2.5}, {2, 5}, {0.5, 0.5}, {50, 0.7}, {1244, 4355}};
  for (const auto& s : shapes) {
    const RegularizedBeta beta(s[0], s[1]);
    for (double tail : {1e-12, 1e-6, 0.1, 0.5}) {
      const double x = beta.quantile(tail).x;
      EXPECT_LE(relative_error(beta.cdf(x), tail), TOLERANCE) << "p " << s[0] << ", q " << s[1] << ", u " << tail;
      const double u = 1 - tail;  // rounded; 1 - u is exact
      EXPECT_LE(relative_error(beta.upper_tail(beta.quantile(u).y), 1 - u), TOLERANCE)
          << "p " << s[0] << ", q " << s[1] << ", u 1 - " << tail;
    }
  }
}

// Mean and sd of 2e5 stratified draws u = (i + 1/2) / n, against the
// distribution's own. Stratification leaves far less error than independent
// draws would (below 0.08 standard errors here), so a fraction of one
// suffices, small enough to notice tails cut or folded at 3 sd.
TEST(MomentSampler, DrawsHaveTheGivenMeanAndSd) {
  constexpr int N = 200000;
  struct Row {
    MomentDistribution d;
    double mean, sd;
  };
  const double uniform_sd = 3 / std::sqrt(12.0);
  const Row rows[] = {
      {{MomentKind::normal, 50, 8}, 50, 8},
      {{MomentKind::lognormal, 2, 1.5}, 2, 1.5},
      {{MomentKind::beta, 8.9, 5.6, 0, 50}, 8.9, 5.6},   // shapes 1.9 and 8.8
      {{MomentKind::beta, 0.1, 0.2, 0, 1}, 0.1, 0.2},    // shapes 0.125 and 1.125
      {{MomentKind::beta, 0.6, 0.15, 0.2, 2}, 0.6, 0.15},
      {{MomentKind::uniform, 0, 0, 2, 5}, 3.5, uniform_sd},
      {{MomentKind::fixed, 7}, 7, 0},
  };
  for (const Row& r : rows) {
    const MomentSampler sampler(r.d);
    double sum = 0, squares = 0;
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (int i = 0; i < N; ++i) {
      const double v = sampler.quantile((i + 0.5) / N);
      sum += v;
      squares += v * v;
      low = std::min(low, v);
      high = std::max(high, v);
    }
    const double mean = sum / N;
    const double sd = std::sqrt((squares - sum * mean) / (N - 1));
    const double standard_error = std::max(r.sd, 1e-300) / std::sqrt(double(N));
    SCOPED_TRACE(tbx::moment_kind_name(r.d.kind));
    EXPECT_NEAR(mean, r.mean, 0.1 * standard_error);
    EXPECT_NEAR(sd, r.sd, 0.25 * standard_error + 1e-12 * r.mean);
    if (r.d.kind == MomentKind::beta || r.d.kind == MomentKind::uniform) {
      EXPECT_GE(low, r.d.lower);
      EXPECT_LE(high, r.d.upper);
    }
  }
  // Closed forms: the normal's quantile is exact; the lognormal's median is
  // mean / sqrt(1 + (sd / mean)^2).
  EXPECT_EQ(MomentSampler({MomentKind::normal, 50, 8}).quantile(0.975), 50 + 8 * tbx::normal_quantile(0.975));
  EXPECT_NEAR(MomentSampler({MomentKind::lognormal, 2, 1.5}).quantile(0.5), 2 / 1.25, 1e-15);
  // Bounds near the largest double: shapes 7.5 and 7.5, whose products with
  // the distance to a bound overflow (the draws once sat on a bound).
  const MomentSampler wide({MomentKind::beta, 0.6, 2e307, -8e307, 8e307});
  EXPECT_NEAR(wide.quantile(0.5) / 1.6e308, 0.0, 1e-15);
  EXPECT_NEAR(wide.quantile(0.975) / 1.6e308, RegularizedBeta(7.5, 7.5).quantile(0.975).x - 0.5, 1e-15);
}

TEST(MomentDistribution, ProblemsNameWhatWasExpected) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Row {
    MomentDistribution d;
    const char* problem;
  };
  const Row rows[] = {
      {{MomentKind::normal, 50, 8}, ""},
      {{MomentKind::normal, 50, 0}, ""},
      {{MomentKind::normal, 50, -3}, "sd >= 0"},
      {{MomentKind::normal, std::nan(""), 8}, "a finite number for mean"},
      {{MomentKind::lognormal, 3, inf}, "a finite number for sd"},
      {{MomentKind::lognormal, 0, 1}, "mean > 0 for a lognormal distribution"},
      {{MomentKind::beta, 0.6, 0.15, 0.2, 2}, ""},
      {{MomentKind::beta, 0.6, 0.15, -inf, 2}, "a finite number for lower"},
      {{MomentKind::beta, 0.6, 0.15, 2, 0.2}, "lower below upper = 0.2"},
      {{MomentKind::beta, 2.5, 0.15, 0.2, 2}, "mean between lower = 0.2 and upper = 2"},
      {{MomentKind::beta, 0.2, 0.15, 0.2, 2}, "mean between lower = 0.2 and upper = 2"},
      {{MomentKind::beta, 0.6, 0, 0.2, 2}, "sd > 0 for a beta distribution"},
      {{MomentKind::beta, 8.9, 5.6, 0, 50}, ""},
      {{MomentKind::beta, 8.9, 21, 0, 50}, "sd below sqrt((mean - lower) * (upper - mean)) = 19.1256"},
      {{MomentKind::beta, 1, 2, 0, 5}, "sd below sqrt((mean - lower) * (upper - mean)) = 2"},
      // Shapes beyond about 1e11, which the inversion cannot settle.
      {{MomentKind::beta, 0.6, 1e-100, 0.2, 2},
       "sd at least (upper - lower) / 1e6 = 1.8e-06 for a beta distribution (a narrower one is a fixed value: give "
       "it as one)"},
      {{MomentKind::beta, 0.6, 0.15, -8e307, 8e307},
       "sd at least (upper - lower) / 1e6 = 1.6e+302 for a beta distribution (a narrower one is a fixed value: give "
       "it as one)"},
      {{MomentKind::beta, 0.6, 1.8e-6, 0.2, 2}, ""},
      {{MomentKind::uniform, inf, -1, 2, 5}, ""},  // mean and sd are not read
      {{MomentKind::uniform, 0, 0, 5, 5}, "lower below upper = 5"},
      {{MomentKind::uniform, 0, 0, 2, std::nan("")}, "a finite number for upper"},
      {{MomentKind::uniform, 0, 0, -1e308, 1e308}, "a finite upper - lower"},
      {{MomentKind::fixed, -4, -1}, ""},
      {{MomentKind::fixed, inf}, "a finite number for mean"},
      {{MomentKind::normal, 3, 2.25, 0, inf, true}, ""},
      {{MomentKind::normal, 3, 2.25, 5, 5, true}, "lower below upper = 5"},
      {{MomentKind::normal, 3, 0, 4, inf, true}, "a mean between lower = 4 and upper = inf where sd is 0"},
      {{MomentKind::normal, 0, 1, 40, inf, true},
       "lower and upper that hold some of the distribution (the share between them is below 1e-308)"},
      {{MomentKind::lognormal, 3, 0.9, -inf, -1, true}, "upper > 0 for a lognormal distribution"},
      {{MomentKind::beta, 0.6, 0.15, 0.2, 2, true}, "no truncation of a beta distribution"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(tbx::moment_distribution_problem(r.d), r.problem)
        << tbx::moment_kind_name(r.d.kind) << " mean " << r.d.mean << " sd " << r.d.sd << " on [" << r.d.lower
        << ", " << r.d.upper << "]";
  }
}

// Cut distributions against closed forms: the mean and sd of stratified draws
// as above, and the distribution function at drawn quantiles (from the side
// that keeps its precision) back at u, deep in either tail too.
TEST(MomentSampler, CutDistributionsDrawTheirClosedForms) {
  const double inf = std::numeric_limits<double>::infinity();
  const auto phi = [](double z) { return std::exp(-0.5 * z * z) / std::sqrt(2 * 3.14159265358979323846); };
  const auto cdf = [](double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); };
  struct Row {
    const char* name;
    MomentDistribution d;
  };
  const Row rows[] = {
      {"Cs_dx CoV 0.75 at 0", {MomentKind::normal, 3, 2.25, 0, inf, true}},
      {"cover on [40, 70]", {MomentKind::normal, 50, 8, 40, 70, true}},
      {"10 sd above", {MomentKind::normal, 0, 1, 10, inf, true}},
      {"10 sd below", {MomentKind::normal, 0, 1, -inf, -10, true}},
      {"lognormal below 4", {MomentKind::lognormal, 3, 0.9, 0, 4, true}},
      {"lognormal above 10", {MomentKind::lognormal, 8.9, 1.8, 10, inf, true}},
  };
  constexpr int N = 200000;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const MomentDistribution& d = r.d;
    const bool log = d.kind == MomentKind::lognormal;
    const double zeta = log ? std::sqrt(std::log1p(d.sd * d.sd / (d.mean * d.mean))) : d.sd;
    const double mu = log ? std::log(d.mean) - 0.5 * zeta * zeta : d.mean;
    const auto score = [&](double x) { return log ? (x > 0 ? (std::log(x) - mu) / zeta : -inf) : (x - mu) / zeta; };
    const double a = score(d.lower), b = score(d.upper);
    const double share = a > 0 ? cdf(-a) - cdf(-b) : cdf(b) - cdf(a);
    EXPECT_LE(relative_error(tbx::kept_share(d), share), 1e-13);
    // Moments: for the lognormal, E X^k = e^(k mu + k^2 zeta^2 / 2) times the
    // share of the normal shifted by k zeta.
    double mean, second;
    if (log) {
      const auto shifted = [&](double k) {
        return std::exp(k * mu + 0.5 * k * k * zeta * zeta) * (cdf(b - k * zeta) - cdf(a - k * zeta)) / share;
      };
      mean = shifted(1);
      second = shifted(2);
    } else {
      const double pa = std::isfinite(a) ? phi(a) : 0, pb = std::isfinite(b) ? phi(b) : 0;
      const double apa = std::isfinite(a) ? a * pa : 0, bpb = std::isfinite(b) ? b * pb : 0;
      const double shift = (pa - pb) / share;
      mean = mu + zeta * shift;
      second = mean * mean + zeta * zeta * (1 + (apa - bpb) / share - shift * shift);
    }
    const double sd = std::sqrt(second - mean * mean);
    const MomentSampler sampler(d);
    double sum = 0, squares = 0, low = inf, high = -inf;
    for (int i = 0; i < N; ++i) {
      const double v = sampler.quantile((i + 0.5) / N);
      sum += v;
      squares += v * v;
      low = std::min(low, v);
      high = std::max(high, v);
    }
    const double drawn_mean = sum / N;
    const double drawn_sd = std::sqrt((squares - sum * drawn_mean) / (N - 1));
    const double standard_error = sd / std::sqrt(double(N));
    EXPECT_NEAR(drawn_mean, mean, 0.1 * standard_error);
    EXPECT_NEAR(drawn_sd, sd, 0.25 * standard_error);
    EXPECT_GE(low, d.lower);
    EXPECT_LE(high, d.upper);
    for (const double u : {1e-12, 1e-6, 0.25, 0.5, 0.75, 1 - 1e-6, 1 - 1e-12}) {
      const double z = score(sampler.quantile(u));
      // The share below z and (1 - u) above it, each from the side where it
      // keeps its precision; near a bound the draw can do no better than the
      // spacing of doubles there.
      const double below = (a > 0 ? cdf(-a) - cdf(-z) : cdf(z) - cdf(a)) / share;
      const double above = (b < 0 ? cdf(b) - cdf(z) : cdf(-z) - cdf(-b)) / share;
      EXPECT_NEAR(below, u, 1e-13 + 1e-9 * u) << "u " << u;
      EXPECT_NEAR(above, 1 - u, 1e-13 + 1e-9 * (1 - u)) << "u " << u;
    }
  }
}

}  // namespace

namespace {

constexpr MomentKind N = MomentKind::normal, LN = MomentKind::lognormal, B = MomentKind::beta,
                     U = MomentKind::uniform;

struct QuantileCase {
  MomentKind kind;
  double mean, sd, lower, upper, u, value;
};
const QuantileCase QUANTILE_CASES[] = {
#include "data/moment_quantiles.inc"
};

// Every kind across both tails and the centre, small and large coefficients
// of variation (a lognormal's zeta from ln(1 + CoV^2) keeps its precision
// only through log1p) and small and large beta shapes, against mpmath
// (tests/data/gen_fib_tables.py). A beta value is measured from the nearer
// bound, where it keeps its precision.
TEST(MomentSampler, QuantilesMatchHighPrecisionValues) {
  for (const QuantileCase& c : QUANTILE_CASES) {
    const MomentSampler sampler({c.kind, c.mean, c.sd, c.lower, c.upper});
    const double got = sampler.quantile(c.u);
    // Units of the largest magnitude involved: the mean where a normal
    // value cancels against it; for a bounded value the nearer bound and the
    // distance from it, which is what is computed, with the relative
    // precision of a beta quantile divided by the shape at that end where
    // it is below 1.
    double scale = std::max(std::fabs(c.value), c.kind == N ? std::fabs(c.mean) : 0.0);
    if (c.kind == B || c.kind == U) {
      const bool near_lower = c.value - c.lower <= c.upper - c.value;
      const double nearer = near_lower ? c.lower : c.upper;
      scale = std::max({scale, std::fabs(nearer), std::fabs(c.value - nearer)});
      if (c.kind == B) {
        const double width = c.upper - c.lower, m = (c.mean - c.lower) / width, v = c.sd * c.sd / (width * width);
        const double shape = (near_lower ? m : 1 - m) * (m * (1 - m) / v - 1);
        scale /= std::min(1.0, shape);
      }
    }
    EXPECT_LE(std::fabs(got - c.value), 24 * std::numeric_limits<double>::epsilon() * scale)
        << tbx::moment_kind_name(c.kind) << " mean " << c.mean << " sd " << c.sd << " on [" << c.lower << ", "
        << c.upper << "], u " << c.u << ": " << got;
  }
}

struct BetaCase {
  double p, q, x, cdf, upper_tail;
};
const BetaCase BETA_CASES[] = {
#include "data/regularized_beta_tight.inc"
};

// I_x(p, q) from below and I_x(q, p) as the upper tail at x, on both sides
// of the continued fraction's switch point, for shapes from 0.1 to 3e5.
TEST(RegularizedBeta, MatchesHighPrecisionValuesToAFewUlp) {
  for (const BetaCase& c : BETA_CASES) {
    const RegularizedBeta beta(c.p, c.q);
    // What the method reaches: the front factor comes from logarithms that
    // grow with -ln I, and the continued fraction near its switch point
    // takes about sqrt(p + q) terms; a few ulp for small shapes.
    const auto allowed = [&](double value) {
      return static_cast<std::uint64_t>(64 + 96 * std::sqrt(c.p + c.q) + 2 * std::fabs(std::log(std::max(value, 1e-300))));
    };
    EXPECT_LE(tbx_test::ulp_distance(beta.cdf(c.x), c.cdf), allowed(c.cdf))
        << "p " << c.p << ", q " << c.q << ", x " << c.x << ": " << beta.cdf(c.x);
    EXPECT_LE(tbx_test::ulp_distance(beta.upper_tail(c.x), c.upper_tail), allowed(c.upper_tail))
        << "upper tail, p " << c.p << ", q " << c.q << ", x " << c.x << ": " << beta.upper_tail(c.x);
  }
}

}  // namespace
