#include "model/chloride_model.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "model/chloride_formulas.hpp"
#include "prob/inverse_beta.hpp"
#include "prob/random.hpp"
#include "support/jobs.hpp"
#include "support/ulp.hpp"

namespace tbx {
namespace {

using namespace test::short_names;
using Kept = ChlorideModel::Kept;

double normal(double u, double mean, double std_dev) {
  return tbx_test::in_place(normal_deviate, u, mean, std_dev);
}
double lognormal(double u, double lambda, double zeta) {
  return tbx_test::in_place(lognormal_deviate, u, lambda, zeta);
}

// Three simulations of a job with every kind of variable, their uniform
// numbers drawn from the generator.
class ChlorideSampling : public testing::Test {
 protected:
  ChlorideSampling()
      : job(test::make_job({{{N, 50, 5}, {D, 1.5, 0}, {LN, -0.5, 0.2}, {B, 2, 3}, {D, 0.4, 0}, {D, 10, 50},
                             {D, 28, 0}, {N, 12, 3}, {D, 7, 0}}},
                           3, 1)) {
    std::int32_t seed = 12345;
    for (auto& row : u) {
      for (int i = 1; i <= 9; ++i) uniform_deviate(seed, row[i]);
    }
  }
  SampleNotes sample(int k, double& r, Kept& kept) const { return ChlorideModel(job).sample(u[k], r, kept); }

  JobData job;
  double u[3][10] = {};
};

TEST_F(ChlorideSampling, EachVariableFromItsOwnNumber) {
  for (int k = 0; k < 3; ++k) {
    double r = 0.0;
    Kept kept{};
    const SampleNotes notes = sample(k, r, kept);
    EXPECT_FALSE(notes.any());
    EXPECT_EQ(r, normal(u[k][1], 50, 5));
    const double cs = tbx_test::in_place(inverse_beta, u[k][4], 2.0, 3.0);
    EXPECT_EQ(kept[ChlorideModel::DEPTH], depth_factor(lognormal(u[k][3], -0.5, 0.2), cs));
    // Temperature and model factor share the eighth number.
    EXPECT_EQ(kept[ChlorideModel::PREFIX], diffusion_prefix(1.5, 1 - 0.4, temperature_factor(normal(u[k][8], 12, 3))));
    EXPECT_EQ(kept[ChlorideModel::MODEL_FACTOR], normal(u[k][8], 1.0, 0.01));
    EXPECT_EQ(kept[ChlorideModel::N_EXPONENT], 0.4);
    EXPECT_EQ(kept[ChlorideModel::TE_YEARS], 7.0 / 365);
    EXPECT_EQ(kept[ChlorideModel::TO_YEARS], 28.0 / 365);
    EXPECT_EQ(kept[ChlorideModel::U_TIME], u[k][6]);
  }
}

// Mode 1 multiplies Dcoef by N(0.832, 0.024), also from the eighth number,
// even when Dcoef is deterministic; modes 0 and 2 leave its draw alone.
TEST_F(ChlorideSampling, DcoefFactorOnlyInModeOne) {
  const double temp = temperature_factor(normal(u[1][8], 12, 3));
  for (const std::int32_t mode : {0, 1, 2}) {
    job.analysis_mode = mode;
    double r = 0.0;
    Kept kept{};
    sample(1, r, kept);
    const double dcoef = mode == 1 ? normal(u[1][8], 0.832, 0.024) * 1.5 : 1.5;
    EXPECT_EQ(kept[ChlorideModel::PREFIX], diffusion_prefix(dcoef, 1 - 0.4, temp)) << mode;
  }
}

// An inversion that cannot succeed stops the sampling and says where; the
// continued fraction's texts come before it.
TEST_F(ChlorideSampling, FailedInversionIsReportedBeforeOrAfterTheTime) {
  for (const int variable : {CS, TEMP}) {
    JobData failing = test::make_job({{{N, 50, 5}, {D, 1.5, 0}, {D, 0.4, 0}, {D, 3, 0}, {D, 0.4, 0},
                                       {D, 10, 50}, {D, 28, 0}, {D, 20, 0}, {D, 7, 0}}},
                                     1, 1);
    failing.dist_type[variable] = B;
    failing.dist_param[1][variable] = 1e7;
    failing.dist_param[2][variable] = 1e7;
    double r = 0.0;
    Kept kept{};
    const SampleNotes notes = ChlorideModel(failing).sample(u[0], r, kept);
    EXPECT_EQ(notes.fails_at, variable == CS ? 1 : 2);
    EXPECT_EQ(variable == CS ? notes.texts_before_time : notes.texts_after_time, 2);
  }
}

// What an analysis over time does with one simulation: sample once, then
// G(t) = R - S(t) at any time, the exposure time drawn from the same number
// at every t. A time point's shared age factor gives the same S.
TEST_F(ChlorideSampling, LimitStateAtAnyTimeFromOneDraw) {
  double r = 0.0;
  Kept kept{};
  sample(2, r, kept);
  const ChlorideModel fixed(job);
  job.dist_type[TIME] = N;
  job.dist_param[2][TIME] = 3;
  const ChlorideModel random_time(job);
  for (const double t : {1.0, 7.5, 50.0, 120.0}) {
    const double age = age_factor(7.0 / 365, 28.0 / 365, 1 - 0.4, 0.4, t);
    const double want = chloride_load(kept[ChlorideModel::PREFIX], t, age, kept[ChlorideModel::DEPTH],
                             kept[ChlorideModel::MODEL_FACTOR]);
    const auto point = fixed.at(t);
    EXPECT_TRUE(point.age_shared);
    double tj = 0.0;
    std::int32_t texts = 0;
    ASSERT_TRUE(fixed.exposure_time(kept, point, tj, texts));
    EXPECT_EQ(tj, t);
    EXPECT_EQ(test::bits(fixed.load(kept, point, tj)), test::bits(want)) << t;

    const auto random_point = random_time.at(t);
    ASSERT_TRUE(random_time.exposure_time(kept, random_point, tj, texts));
    EXPECT_EQ(tj, normal(u[2][6], t, 3));
    const double random_age = age_factor(7.0 / 365, 28.0 / 365, 1 - 0.4, 0.4, tj);
    EXPECT_EQ(test::bits(random_time.load(kept, random_point, tj)),
              test::bits(chloride_load(kept[ChlorideModel::PREFIX], tj, random_age, kept[ChlorideModel::DEPTH],
                              kept[ChlorideModel::MODEL_FACTOR])));
    EXPECT_EQ(texts, 0);
  }
}

}  // namespace
}  // namespace tbx
