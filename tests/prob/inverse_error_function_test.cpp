#include "prob/inverse_error_function.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "support/ulp.hpp"

namespace {

using tbx_test::ulp_distance;

double erfinv(double y) { return tbx_test::in_place(tbx::inverse_error_function, y); }

// Two Newton steps from an estimate within 7e-7 leave only rounding, of two
// kinds. Where erf is steep, a few ulp of x (measured: at most 3 below
// y = 0.98). Where erf is flat, the rounding of erf(x) itself: near 0.999 the
// slope is 0.011, so half an ulp of erf moves x by some 40 ulp, and no
// refinement through a double erf can do better. The allowance is the sum:
// ERFINV_MAX_ULPS ulps of x plus ERF_ROUNDING_ULPS ulps of y carried through
// dx/dy = sqrt(pi)/2·exp(x^2) (measured: 0.47 of one ulp of y).
constexpr double ERFINV_MAX_ULPS = 4.0;
constexpr double ERF_ROUNDING_ULPS = 1.0;

double ulp(double v) { return std::nextafter(std::fabs(v), 4.0) - std::fabs(v); }

double allowed_error(double y, double x) {
  const double slope_inverse = std::sqrt(3.141592653589793) / 2.0 * std::exp(x * x);
  return ERFINV_MAX_ULPS * ulp(x) + ERF_ROUNDING_ULPS * ulp(y) * slope_inverse;
}

TEST(InverseErrorFunction, QuotedValues) {
  EXPECT_EQ(erfinv(0.0), 0.0);
  struct {
    double y, x;
  } const quoted[] = {{0.5, 0.476936276204470}, {0.9, 1.16308715367667}, {0.999, 2.32675376551352}};
  for (const auto& q : quoted) {
    EXPECT_TRUE(tbx_test::matches_digits(erfinv(q.y), q.x, 15)) << "y = " << q.y;
    EXPECT_TRUE(tbx_test::matches_digits(erfinv(-q.y), -q.x, 15)) << "y = " << -q.y;
  }
}

TEST(InverseErrorFunction, IsOdd) {
  for (int i = 1; i <= 2000; ++i) {
    const double y = i / 2000.0 * 1.2;  // beyond 0.999 too
    EXPECT_EQ(erfinv(-y), -erfinv(y)) << "y = " << y;
  }
}

// Beyond +-0.999 the argument becomes 0.9, with the sign kept; +-0.999
// itself is computed normally.
TEST(InverseErrorFunction, ArgumentsBeyondTheLimitTakeTheValueForNineTenths) {
  const double at_nine_tenths = erfinv(0.9);
  for (double y : {std::nextafter(0.999, 1.0), 1.0, 1.5, 1e300}) {
    EXPECT_EQ(erfinv(y), at_nine_tenths) << "y = " << y;
    EXPECT_EQ(erfinv(-y), -at_nine_tenths) << "y = " << -y;
  }
  EXPECT_GT(erfinv(0.999), 2.3);
  EXPECT_LT(erfinv(-0.999), -2.3);
}

struct Reference {
  double y;
  double x;
};

constexpr Reference TABLE[] = {
#include "data/prob_inverse_erf.inc"
};

// The table includes 0.7 (central form) and its upper neighbour (tail form).
TEST(InverseErrorFunction, AgreesWithHighPrecision) {
  std::uint64_t worst = 0;
  double worst_y = 0.0;
  for (const Reference& r : TABLE) {
    const double x = erfinv(r.y);
    EXPECT_LE(std::fabs(x - r.x), allowed_error(r.y, r.x)) << "y = " << r.y;
    const std::uint64_t ulps = ulp_distance(x, r.x);
    if (ulps >= worst) {
      worst = ulps;
      worst_y = r.y;
    }
  }
  std::printf("erfinv: max %llu ulp at y = %.17g\n", static_cast<unsigned long long>(worst),
              worst_y);
}

constexpr Reference PINNED[] = {
#include "data/prob_pinned_inverse_erf.inc"
};

// The bits of the estimate and its two Newton steps, evaluated in the same
// order in double arithmetic (see the generator): one step more or less, or
// a changed constant, moves the last bits of a third of these values and most
// of those near 0.999, which the tolerance above admits.
TEST(InverseErrorFunction, PinnedBits) {
  for (const Reference& r : PINNED) EXPECT_EQ(erfinv(r.y), r.x) << "y = " << r.y;
}

// Side by side, in groups of four and a remainder, every value keeps the
// bits of the one-at-a-time routine: both forms, both signs, the limits and
// the substitute beyond them.
TEST(InverseErrorFunction, SideBySideGivesTheSameBits) {
  std::vector<double> y = {0.0, -0.0, 0.7, -0.7, 0.70000000000000007, 0.999, -0.999, 0.9990000000000001,
                           -1.0, 1.0, 1e-300};
  for (const Reference& r : TABLE) y.push_back(r.y);
  for (const Reference& r : PINNED) y.push_back(r.y);
  for (int n = 1; n <= 9; ++n) {
    for (std::size_t first = 0; first + static_cast<std::size_t>(n) <= y.size(); first += static_cast<std::size_t>(n)) {
      std::vector<double> batch(y.begin() + static_cast<std::ptrdiff_t>(first),
                                y.begin() + static_cast<std::ptrdiff_t>(first) + n);
      tbx::inverse_error_functions(batch.data(), n);
      for (int k = 0; k < n; ++k) {
        const double want = erfinv(y[first + static_cast<std::size_t>(k)]);
        ASSERT_EQ(ulp_distance(batch[static_cast<std::size_t>(k)], want), 0u) << y[first + static_cast<std::size_t>(k)];
        ASSERT_EQ(std::signbit(batch[static_cast<std::size_t>(k)]), std::signbit(want));
      }
    }
  }
}

}  // namespace
