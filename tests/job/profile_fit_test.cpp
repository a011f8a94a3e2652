#include "job/profile_fit.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "input/input_test_support.hpp"
#include "prob/error_function.hpp"

namespace tbx {
namespace {

// The model profile of a trial pair, computed as the search does.
double model_content(double cs, double d, double t_days, double depth_cm) {
  double z = (depth_cm / 100) / (2 * std::sqrt(d * t_days * 24 * 60 * 60));
  error_function(z);
  return cs * z;
}

struct Profile {
  RealVector depth{12};
  RealVector cl{12};
};

Profile make_profile(double cs, double d, double t_days, int points) {
  Profile p;
  for (int k = 1; k <= points; ++k) {
    p.depth[k] = 0.5 * k;
    p.cl[k] = model_content(cs, d, t_days, p.depth[k]);
  }
  return p;
}

TEST(ProfileFit, FindsTheGeneratingPairApproximately) {
  Profile p = make_profile(1.2, 2.5e-12, 365, 8);
  double cs = 0, dcoef = 0;
  fit_profile(8, 0.5, cs, dcoef, 0, 365.0, p.depth, p.cl);
  EXPECT_NEAR(cs, 1.2, 0.02);
  EXPECT_NEAR(dcoef, 2.5, 0.1);
}

// The search written out plainly, every model content computed afresh.
void plain_search(int points, double to, const Profile& p, double& cs, double& dcoef) {
  double cs_trial = p.cl[1] - 0.05;
  double best = 1e10;
  for (int pass = 0; pass < 200; ++pass) {
    for (const double base : {1e-14, 1e-13, 1e-12, 1e-11, 1e-10}) {
      double d = base;
      for (int i = 0; i < 901; ++i) {
        d = d + base / 100;
        double sum = 0.0;
        for (int k = 1; k <= points; ++k) {
          const double diff = p.cl[k] - model_content(cs_trial, d, to, p.depth[k]);
          sum += diff * diff;
        }
        if (sum < best) {
          best = sum;
          cs = cs_trial;
          dcoef = d / 1e-12;
        }
      }
    }
    cs_trial = cs_trial + 0.01;
    if (cs_trial > 2.0) break;
  }
}

TEST(ProfileFit, SameResultAsThePlainSearch) {
  // A first content near 2 keeps the plain search short.
  for (const double d : {4e-13, 3.3e-12, 2e-11}) {
    Profile p = make_profile(1.93, d, 900, 6);
    double cs = 0, dcoef = 0, plain_cs = -1, plain_dcoef = -1;
    fit_profile(6, 0.5, cs, dcoef, 0, 900.0, p.depth, p.cl);
    plain_search(6, 900.0, p, plain_cs, plain_dcoef);
    EXPECT_EQ(cs, plain_cs) << d;
    EXPECT_EQ(dcoef, plain_dcoef) << d;
  }
}

TEST(ProfileFit, HighFirstContentTriesOnlyOneSurfaceContent) {
  Profile p = make_profile(2.5, 1e-12, 365, 5);
  p.cl[1] = 2.3;
  double cs = 0, dcoef = 0;
  fit_profile(5, 0.5, cs, dcoef, 0, 365.0, p.depth, p.cl);
  EXPECT_EQ(cs, 2.3 - 0.05);
}

// A fit that cannot be made ends the run instead of reporting the input
// values as fitted.
TEST(ProfileFit, ImpossibleFitEndsTheRun) {
  const std::string no_trial = "\nERROR:\nProfile fit failed - no trial fits the measured profile\n\n";
  const std::string bad_age = "\nERROR:\nProfile fit failed - age at testing must be positive\n\n";
  const struct {
    double content2;  // the second measured content
    double to;
    const std::string& report;
  } cases[] = {
      {1e6, 365.0, no_trial},  // no trial pair comes within a sum of squares of 1e10
      {0.5, 0.0, bad_age},
      {0.5, -28.0, bad_age},
      {0.5, std::nan(""), bad_age},
  };
  for (const auto& c : cases) {
    Profile p = make_profile(1.0, 1e-12, 365, 5);
    p.cl[2] = c.content2;
    double cs = 7, dcoef = 8;
    EXPECT_EQ(test::report_of([&] { fit_profile(5, 0.5, cs, dcoef, 0, c.to, p.depth, p.cl); }), c.report)
        << "to " << c.to;
  }
}

TEST(ProfileFit, MeansOfTheDistributions) {
  EXPECT_EQ(distribution_mean(N, 28, 3), 28.0);
  EXPECT_EQ(distribution_mean(D, 28, 0), 28.0);
  EXPECT_EQ(distribution_mean(B, 3, 7), 0.3);
  EXPECT_EQ(distribution_mean(LN, 7.5, 0.1), std::exp(7.5 + 0.1 * 0.1 / 2.0));
}

TEST(ProfileFit, FittedVariablesBecomeNormalAndPredictionAtTestingAgeIsUnchanged) {
  JobData job = test::allocated_job();
  Profile p = make_profile(1.5, 3e-12, 1825, 6);
  for (int k = 1; k <= 12; ++k) {
    job.profile_depth[k] = p.depth[k];
    job.profile_cl[k] = p.cl[k];
  }
  job.analysis_mode = 2;
  job.n_points = 6;
  job.predict_profile = 1;
  job.tp = 1825;
  job.dist_type[DCOEF] = LN;
  job.dist_type[CS] = B;
  job.dist_type[AGE_N] = D;
  job.dist_param[1][AGE_N] = 0.5;
  job.dist_type[TO] = D;
  job.dist_param[1][TO] = 1825;
  RealMatrix predicted(2, 12);
  apply_profile_fit(job, predicted);
  EXPECT_EQ(job.dist_type[DCOEF], N);
  EXPECT_EQ(job.dist_type[CS], N);
  EXPECT_EQ(job.dist_param[2][DCOEF], job.dist_param[1][DCOEF] / 10);
  EXPECT_EQ(job.dist_param[2][CS], job.dist_param[1][CS] / 10);
  for (int k = 1; k <= 6; ++k) {
    EXPECT_EQ(predicted[1][k], predicted[2][k]);
    EXPECT_NEAR(predicted[1][k],
                model_content(job.dist_param[1][CS], job.dist_param[1][DCOEF] * 1e-12, 3650, p.depth[k]),
                1e-12);
  }
  EXPECT_EQ(predicted[1][7], 0.0);
}

}  // namespace
}  // namespace tbx
