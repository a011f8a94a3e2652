#include "prob/inverse_beta.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "support/captured_output.hpp"
#include "core/fatal.hpp"
#include "support/ulp.hpp"

namespace {

double quantile(double p, double a, double b) { return tbx_test::in_place(tbx::inverse_beta, p, a, b); }

struct Case {
  double p, a, b;
  double x;
  double tolerance;  // absolute
};

// The iteration ends once a step falls below sqrt(eps); quadratic convergence
// leaves the last iterate at the root of the computed I_x(a, b), whose own
// error, divided by the density, is what remains. Tolerances follow from it.
constexpr Case QUOTED[] = {
    // Uniform: x = p to rounding.
    {0.3, 1, 1, 0.3, 2e-16},
    {0.77, 1, 1, 0.77, 2e-16},
    // I_0.4(2, 3) = 0.5248 exactly, reached in one step from the mean.
    {0.5248, 2, 3, 0.4, 2e-16},
    // Symmetric shapes: the median is 1/2. At a = b = 50 the incomplete beta
    // carries some 1e-14 of rounding (its exponent terms reach 140), divided
    // by the density 8.
    {0.5, 0.5, 0.5, 0.5, 1e-15},
    {0.5, 50, 50, 0.5, 4e-15},
    // Quoted to fifteen digits: half a unit of the fifteenth digit.
    {0.5, 2, 3, 0.385727568132390, 5e-16},
    {0.01, 2, 5, 0.0267631911427550, 5e-17},
    {0.99, 2, 5, 0.705686328319707, 5e-16},
};

TEST(InverseBeta, QuotedValues) {
  for (const Case& c : QUOTED) {
    EXPECT_NEAR(quantile(c.p, c.a, c.b), c.x, c.tolerance)
        << "p = " << c.p << ", a = " << c.a << ", b = " << c.b;
  }
}

// No iteration and no incomplete beta at the ends: even shapes whose
// fraction cannot converge give 0 and 1 silently.
TEST(InverseBeta, EndsNeedNoIteration) {
  tbx::test::StdoutCapture captured1;
  EXPECT_EQ(quantile(0.0, 1e7, 1e7), 0.0);
  EXPECT_EQ(quantile(1.0, 1e7, 1e7), 1.0);
  EXPECT_EQ(quantile(0.0, 2, 3), 0.0);
  EXPECT_EQ(quantile(1.0, 0.5, 0.5), 1.0);
  EXPECT_EQ(captured1.text(), "");
}

// The stopping tests look only at the step: where the density is huge near 1
// the iteration stops at an x whose I_x is still visibly below p.
TEST(InverseBeta, StopsOnTheStepNotOnTheResidual) {
  const double x = quantile(0.999999, 0.5, 0.5);
  EXPECT_NEAR(x, 0.9999999995, 1e-12);
  double cdf = x;
  tbx::incomplete_beta(cdf, 0.5, 0.5);
  EXPECT_NEAR(cdf, 0.9999858, 1e-7);
}

struct Reference {
  double p, a, b;
  double x;
};

constexpr Reference TABLE[] = {
#include "data/prob_inverse_beta.inc"
};

// Shapes down to 0.8 and up to 20, p from 0.001 to 0.99. Two sources of
// error: the stopping rule, and rounding. The iteration stops after a step
// of at most sqrt(eps) (the absolute test ends it even where x is much
// smaller than 1), and Newton's error after a step h is about
// |F''/(2F')|·h^2 with F''/F' = (a - 1)/x - (b - 1)/(1 - x); that bound
// dominates for small quantiles (p = 0.001). Rounding, the I_x error over the
// density, stays below 4e-15 relative for these shapes.
constexpr double QUANTILE_ROUNDING_RELATIVE = 1e-14;

double allowed_error(double a, double b, double x) {
  const double curvature = 0.5 * std::fabs((a - 1.0) / x - (b - 1.0) / (1.0 - x));
  return curvature * tbx::BETA_EPSILON + QUANTILE_ROUNDING_RELATIVE * x;
}

TEST(InverseBeta, AgreesWithHighPrecision) {
  double worst = 0.0;
  for (const Reference& r : TABLE) {
    const double x = quantile(r.p, r.a, r.b);
    EXPECT_LE(std::fabs(x - r.x), allowed_error(r.a, r.b, r.x))
        << "p = " << r.p << ", a = " << r.a << ", b = " << r.b;
    worst = std::fmax(worst, std::fabs(x - r.x) / r.x);
  }
  std::printf("inverse_beta: max relative error %.2g\n", worst);
}

// At a = b = 1e7 the first step meets the exhausted continued fraction (two
// texts) and the iteration never settles: the run ends after 100 steps with
// the fatal report, the texts already written.
TEST(InverseBeta, NonConvergenceEndsTheRun) {
  tbx::test::StdoutCapture captured2;
  std::string report;
  try {
    quantile(0.3, 1e7, 1e7);
  } catch (const tbx::FatalError& e) {
    report = e.report();
  }
  EXPECT_EQ(captured2.text(), "\n NaN \n\n NaN \n");
  EXPECT_EQ(report, "\nERROR:\nWarning: BETAINV did not converge \n\n");

  double x = -1.0;
  int nan_texts = 0;
  EXPECT_FALSE(tbx::inverse_beta_value(0.3, tbx::make_beta_shape(1e7, 1e7), x, nan_texts));
  EXPECT_EQ(x, -1.0);  // untouched
  EXPECT_EQ(nan_texts, 2);
}

}  // namespace
