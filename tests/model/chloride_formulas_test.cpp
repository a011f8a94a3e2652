#include "model/chloride_formulas.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/plain_cycle.hpp"
#include "model/chloride_model.hpp"
#include "support/captured_output.hpp"
#include "support/jobs.hpp"

namespace tbx {
namespace {

using namespace test::short_names;

TEST(ChlorideModel, TemperatureFactorIsOneAtTwentyDegrees) {
  EXPECT_EQ(temperature_factor(20), 1.0);
  EXPECT_GT(temperature_factor(30), 1.0);
  EXPECT_LT(temperature_factor(10), 1.0);
}

TEST(ChlorideModel, NoAgeAtExposureLeavesTheReferenceAgePower) {
  const double n = 0.45;
  EXPECT_EQ(age_factor(0.0 / 365, 28.0 / 365, 1 - n, n, 50), std::pow(28.0 / 365 / 50, n));
}

TEST(ChlorideModel, LoadFollowsTheWrittenOrderOfOperations) {
  // Hand-made sample: xc 50, Dcoef 2, Ccr 0.4, Cs 3, n 0.45, t 50, to 28, temp 15, te 28, mf 1.01.
  const double m = 1 - 0.45;
  const double r = 28.0 / 365 / 50;
  const double age = (std::pow(1 + r, m) - std::pow(r, m)) * std::pow(28.0 / 365 / 50, 0.45);
  const double tf = std::exp((1.0 / 293 - 1.0 / (273 + 15.0)) * 4209.6147601120965);
  const double dt = 2.0 / m * tf / 1e12 * 365 * 24 * 3600 * 50;
  double e = 1 - 0.4 / 3.0;
  inverse_error_function(e);
  const double expected = std::sqrt(dt * age) * (2 * e) * 1000 * 1.01;

  const double s = chloride_load(diffusion_prefix(2.0, m, temperature_factor(15)), 50,
                        age_factor(28.0 / 365, 28.0 / 365, m, 0.45, 50), depth_factor(0.4, 3.0), 1.01);
  EXPECT_EQ(s, expected);
  EXPECT_GT(s, 0.0);
  EXPECT_LT(s, 50.0);
}

struct PinnedSimulation {
  double dcoef, ccr, cs, n, t, to, temp, te, model_factor;
  double temperature, age, depth, s;
};

constexpr PinnedSimulation PINNED[] = {
#include "data/job_model_pinned.inc"
};

// The model's bits for a table of sampled values, from an evaluation of the
// same formulas in double arithmetic (see the generator): te differs from to,
// temperatures spread over -10 .. 45 C.
TEST(ChlorideModel, PinnedBits) {
  for (const PinnedSimulation& p : PINNED) {
    const double m = 1 - p.n;
    const double temperature = temperature_factor(p.temp);
    const double age = age_factor(p.te / 365, p.to / 365, m, p.n, p.t);
    const double depth = depth_factor(p.ccr, p.cs);
    const double s = chloride_load(diffusion_prefix(p.dcoef, m, temperature), p.t, age, depth, p.model_factor);
    EXPECT_EQ(temperature, p.temperature) << "T = " << p.temp;
    EXPECT_EQ(age, p.age) << "te = " << p.te << ", to = " << p.to << ", n = " << p.n << ", t = " << p.t;
    EXPECT_EQ(depth, p.depth) << "Ccr = " << p.ccr << ", Cs = " << p.cs;
    EXPECT_EQ(s, p.s) << "Dcoef = " << p.dcoef;
  }
}

TEST(ChlorideModel, CriticalAboveSurfaceGivesANegativeLoad) {
  EXPECT_LT(depth_factor(0.6, 0.5), 0.0);
}

TEST(ChlorideModel, FailureIndicator) {
  EXPECT_EQ(failure_indicator(0.0), 0);
  EXPECT_EQ(failure_indicator(-0.0), 0);
  EXPECT_EQ(failure_indicator(1e-300), 0);
  EXPECT_EQ(failure_indicator(-1e-300), 1);
  EXPECT_EQ(failure_indicator(std::numeric_limits<double>::quiet_NaN()), 1);
}

TEST(ChlorideModel, NegativeOrUndefinedDcoefWarns) {
  EXPECT_TRUE(dcoef_negative(-1e-9));
  EXPECT_TRUE(dcoef_negative(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(dcoef_negative(0.0));
  EXPECT_FALSE(dcoef_negative(-0.0));
  std::string text;
  ChlorideModel::append_warning(text, -0.25);
  EXPECT_EQ(text, "Warning: negative diffusion coefficent\naux3-2_Do -0.250000 \n");
}

TEST(PlainCycle, DeterministicVariablesStillScatterThroughTheModelFactor) {
  JobData job = test::make_job({{{D, 50, 0}, {D, 2, 0}, {D, 0.4, 0}, {D, 3, 0}, {D, 0.45, 0},
                                 {D, 50, 0}, {D, 28, 0}, {D, 20, 0}, {D, 28, 0}}},
                               20, 1);
  IntVector indicator(20);
  RealMatrix sims(22, 3);
  test::CapturedOutput out;
  plain_cycle(ChlorideModel(job), 20, 12345, 50.0, indicator, sims, out.get());
  for (int j = 2; j <= 20; ++j) {
    EXPECT_EQ(sims[j][1], 50.0);
    EXPECT_NE(sims[j][2], sims[1][2]);
  }
  EXPECT_EQ(out.text(), "");
}

}  // namespace
}  // namespace tbx
