#include "engine/profile_fit.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "prob/error_function.hpp"
#include "support/fatal_report.hpp"
#include "support/jobs.hpp"

namespace tbx {
namespace {

using namespace test::short_names;

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

// On any number of threads.
TEST(ProfileFit, SameResultAsThePlainSearch) {
  // A first content near 2 keeps the plain search short.
  for (const double d : {4e-13, 3.3e-12, 2e-11}) {
    Profile p = make_profile(1.93, d, 900, 6);
    double plain_cs = -1, plain_dcoef = -1;
    plain_search(6, 900.0, p, plain_cs, plain_dcoef);
    for (const int threads : {1, 2, 3}) {
      double cs = 0, dcoef = 0;
      fit_profile(6, 0.5, cs, dcoef, 0, 900.0, p.depth, p.cl, threads);
      EXPECT_EQ(cs, plain_cs) << d << ", " << threads << " threads";
      EXPECT_EQ(dcoef, plain_dcoef) << d << ", " << threads << " threads";
    }
  }
}

// The trial D at the end of a decade's scan: 901 steps of a hundredth of
// the decade, by repeated addition.
double last_step_of_decade(double base) {
  double d = base;
  for (int i = 0; i < 901; ++i) d = d + base / 100;
  return d;
}

// The trial Cs of the given pass, by repeated addition from the first content
// less 0.05.
double trial_cs(double first_content, int pass) {
  double cs = first_content - 0.05;
  for (int i = 0; i < pass; ++i) cs = cs + 0.01;
  return cs;
}

// Profiles whose best D is the last step of a decade: the decade 1e-12
// (10.01e-12 lies between 10.00e-12 and the next decade's 1.01e-11), the
// scan's last step, and a D beyond the scan, which the last step fits best.
TEST(ProfileFit, BestDiffusionAtTheEndOfADecadeOrOfTheScan) {
  struct {
    double generating_d, fitted_d;
  } const cases[] = {
      {last_step_of_decade(1e-12), last_step_of_decade(1e-12)},
      {last_step_of_decade(1e-10), last_step_of_decade(1e-10)},
      {1.2e-9, last_step_of_decade(1e-10)},
  };
  for (const auto& c : cases) {
    // From the surface down, so that the first content is a trial Cs.
    Profile p;
    for (int k = 1; k <= 6; ++k) {
      p.depth[k] = 0.5 * (k - 1);
      p.cl[k] = model_content(1.93, c.generating_d, 900, p.depth[k]);
    }
    double cs = 0, dcoef = 0;
    fit_profile(6, 0.5, cs, dcoef, 0, 900.0, p.depth, p.cl);
    EXPECT_EQ(dcoef, c.fitted_d / 1e-12) << c.generating_d;
  }
}

// Ties. Measurements all at the surface: every trial D gives the same shape,
// so every D ties with the first of the scan, which must win, and the sums
// depend on Cs only; contents far above the first one put the best Cs at the
// end of the Cs scan: the largest trial not above 2.0 (a first content of
// 1.85 reaches 2.0 exactly), or the 200th trial. Measurements so deep that
// every shape underflows to 0: all pairs tie, and the first pair wins.
TEST(ProfileFit, TiesGoToTheFirstPairAndTheCsScanReachesItsEnd) {
  struct {
    double depth, first_content, others;
    double fitted_cs;
  } const cases[] = {
      {0.0, 1.85, 3.0, 2.0},
      {0.0, 0.05, 5.0, trial_cs(0.05, 199)},
      {1e4, 1.85, 3.0, 1.85 - 0.05},
  };
  for (const auto& c : cases) {
    Profile p;
    for (int k = 1; k <= 5; ++k) {
      p.depth[k] = c.depth;
      p.cl[k] = k == 1 ? c.first_content : c.others;
    }
    // Split over threads, the ties span passes done by different threads.
    for (const int threads : {1, 2, 3}) {
      double cs = 0, dcoef = 0;
      fit_profile(5, 0.5, cs, dcoef, 0, 365.0, p.depth, p.cl, threads);
      EXPECT_EQ(cs, c.fitted_cs) << c.depth << ", " << c.first_content << ", " << threads << " threads";
      EXPECT_EQ(dcoef, (1e-14 + 1e-14 / 100) / 1e-12) << c.depth << ", " << c.first_content;
    }
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

// The prediction at age tp: row 1 with the age factor (tp / to)^n applied to
// the fitted D, row 2 without, both after tp + to days. At tp = to the rows
// are equal.
TEST(ProfileFit, FittedVariablesBecomeNormalAndThePredictionFollowsTheAgeFactor) {
  struct {
    double tp, to, n;
  } const cases[] = {{1825, 1825, 0.5}, {3650, 28, 0.45},  {100, 730, 0.3},    {7300, 365, 0.6},
                     {1, 28, 0.7},       {5000, 90, 0.35}, {36500, 1825, 0.25}, {730, 3650, 0.55}};
  for (const auto& c : cases) {
    JobData job = test::allocated_job();
    Profile p = make_profile(1.5, 3e-12, c.to, 6);
    for (int k = 1; k <= 12; ++k) {
      job.profile_depth[k] = p.depth[k];
      job.profile_cl[k] = p.cl[k];
    }
    job.analysis_mode = 2;
    job.n_points = 6;
    job.predict_profile = 1;
    job.tp = c.tp;
    job.dist_type[DCOEF] = LN;
    job.dist_type[CS] = B;
    job.dist_type[AGE_N] = D;
    job.dist_param[1][AGE_N] = c.n;
    job.dist_type[TO] = D;
    job.dist_param[1][TO] = c.to;
    RealMatrix predicted(2, 12);
    apply_profile_fit(job, predicted);
    EXPECT_EQ(job.dist_type[DCOEF], N);
    EXPECT_EQ(job.dist_type[CS], N);
    const double cs = job.dist_param[1][CS];
    const double dcoef = job.dist_param[1][DCOEF];
    EXPECT_EQ(job.dist_param[2][DCOEF], dcoef / 10);
    EXPECT_EQ(job.dist_param[2][CS], cs / 10);
    const double age = std::pow(c.tp / c.to, c.n);
    for (int k = 1; k <= 6; ++k) {
      const double depth = p.depth[k];
      EXPECT_EQ(predicted[1][k], model_content(cs, age * dcoef * 1e-12, c.tp + c.to, depth)) << c.tp;
      EXPECT_EQ(predicted[2][k], model_content(cs, dcoef * 1e-12, c.tp + c.to, depth)) << c.tp;
    }
    if (c.tp == c.to) {
      EXPECT_EQ(predicted[1][1], predicted[2][1]);
    }
    EXPECT_EQ(predicted[1][7], 0.0);
  }
}

}  // namespace
}  // namespace tbx
