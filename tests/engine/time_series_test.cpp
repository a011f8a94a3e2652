#include "engine/time_series.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/plain_cycle.hpp"
#include "model/chloride_model.hpp"
#include "support/captured_output.hpp"
#include "support/jobs.hpp"

namespace tbx {
namespace {

using namespace test::short_names;

using test::CapturedOutput;

std::vector<double> layout(double tmin, double tmax, std::int32_t n_intervals) {
  const double step = time_step(tmin, tmax, n_intervals);
  const std::int32_t n = tmax == 0 ? 0 : n_intervals;
  std::vector<double> times;
  for (std::int64_t i = 1; i <= n + 1; ++i) times.push_back(time_point(i, n, tmin, step));
  return times;
}

TEST(TimeLayout, SeriesFromZeroStartsAtOneYear) {
  EXPECT_EQ(layout(0, 50, 5), (std::vector<double>{1, 10, 20, 30, 40, 50}));
}

TEST(TimeLayout, StepBelowOneIsRaisedAndTheSeriesOvershoots) {
  EXPECT_EQ(layout(0, 5, 10), (std::vector<double>{1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(TimeLayout, StepIsFlooredAndTheSeriesFallsShort) {
  EXPECT_EQ(layout(10, 35, 2), (std::vector<double>{10, 22, 34}));
}

TEST(TimeLayout, SingleTimePointAndReversedSeries) {
  EXPECT_EQ(layout(50, 0, 1), (std::vector<double>{50}));
  // One interval never takes the "1 year" first point.
  EXPECT_EQ(time_point(1, 1, 0, 7), 0.0);
  EXPECT_EQ(time_step(50, 10, 4), 10.0);
}

TEST(ProbabilityFromBeta, PositiveForPositiveBetaNegativeOtherwise) {
  EXPECT_NEAR(probability_from_beta(1.0), 15.865525393145708, 1e-12);
  EXPECT_EQ(probability_from_beta(0.0), -50.0);
  EXPECT_NEAR(probability_from_beta(-1.0), -15.865525393145708, 1e-12);
  // Far out the tail erfc underflows to a zero that keeps the sign.
  const double far = probability_from_beta(-40.0);
  EXPECT_EQ(far, 0.0);
  EXPECT_TRUE(std::signbit(far));
  EXPECT_TRUE(std::isnan(probability_from_beta(INFINITY)));
}

struct PinnedProbability {
  double beta, value;
};

constexpr PinnedProbability PINNED_PROBABILITIES[] = {
#include "data/job_probability_pinned.inc"
};

// The bits of the formula in double arithmetic (see the generator).
TEST(ProbabilityFromBeta, PinnedBits) {
  for (const PinnedProbability& p : PINNED_PROBABILITIES) {
    EXPECT_EQ(probability_from_beta(p.beta), p.value) << "Beta = " << p.beta;
  }
}

TEST(ColumnStatistics, MeansAndSampleStandardDeviations) {
  RealMatrix m(4, 3);
  const double rows[2][3] = {{50, 37.5, 12.5}, {41.3, 44.5, -3.2}};
  for (int j = 1; j <= 2; ++j) {
    for (int k = 1; k <= 3; ++k) m[j][k] = rows[j - 1][k - 1];
  }
  column_statistics(m, 2);
  EXPECT_EQ(m[3][1], (50 + 41.3) / 2);
  EXPECT_EQ(m[3][3], (12.5 + -3.2) / 2);
  const double d = (12.5 + -3.2) / 2 - 12.5;
  const double e = (12.5 + -3.2) / 2 - -3.2;
  EXPECT_EQ(m[4][3], std::sqrt((d * d + e * e) / 1));
}

TEST(ColumnStatistics, OneSimulationGivesNoStandardDeviation) {
  RealMatrix m(3, 3);
  m[1][1] = m[1][2] = m[1][3] = 1.0;
  column_statistics(m, 1);
  EXPECT_EQ(m[2][3], 1.0);
  EXPECT_TRUE(std::isnan(m[3][3]));
}

TEST(TimeSeries, OneProgressLinePerTimePointAndTheFirstTimeRestored) {
  JobData job = test::typical_job(300, 5);
  SeriesResults r;
  CapturedOutput out;
  run_time_series(job, r, out.get(), 1);
  EXPECT_EQ(out.text(),
            "Simulation cycle number 1 \nSimulation cycle number 2 \nSimulation cycle number 3 \n"
            "Simulation cycle number 4 \nSimulation cycle number 5 \nSimulation cycle number 6 \n");
  EXPECT_EQ(job.dist_param[1][TIME], 0.0);
  EXPECT_EQ(job.n_intervals, 5);
  EXPECT_EQ(r.times[1], 1.0);
  EXPECT_EQ(r.times[6], 50.0);
  // Later times can only raise the probability in this model.
  for (int i = 2; i <= 6; ++i) EXPECT_GE(r.pf[i], r.pf[i - 1]);
  EXPECT_EQ(r.n_failures, r.pf[6] / 100 * 300);
}

TEST(TimeSeries, MatchesThePlainCycleAtEveryTimePoint) {
  // Beta, lognormal and normal variables, analysis mode 1, random time.
  JobData job = test::make_job({{{N, 50, 8}, {LN, 0.693, 0.2}, {B, 4, 6}, {N, 1.0, 0.1}, {B, 9, 11},
                                 {N, 0, 100}, {LN, 3.3, 0.1}, {N, 15, 2}, {N, 28, 3}}},
                               257, 4, 777);
  job.analysis_mode = 1;
  SeriesResults r;
  CapturedOutput out;
  run_time_series(job, r, out.get(), 2);
  // The last time point, recomputed with the reference cycle.
  IntVector indicator(257);
  RealMatrix sims(259, 3);
  CapturedOutput ref_out;
  plain_cycle(ChlorideModel(job), 257, 777, r.times[5], indicator, sims, ref_out.get());
  column_statistics(sims, 257);  // R's too, which the series takes from its first time point
  for (int j = 1; j <= 259; ++j) {
    if (j <= 257) {
      EXPECT_EQ(indicator[j], r.indicator[j]) << j;
    }
    for (int k = 1; k <= 3; ++k) {
      EXPECT_EQ(test::bits(sims[j][k]), test::bits(r.sim_results[j][k])) << j << "," << k;
    }
  }
}

// Per time point: the standard error sqrt(p (1 - p) / n) of the failure
// fraction p, Beta as the mean of G over its standard deviation, and the
// probability from Beta, each rounded in this order.
TEST(TimeSeries, ReliabilityFiguresFollowTheWrittenFormulas) {
  JobData job = test::typical_job(1792, 7);
  job.dist_param[1][XC] = 30;
  SeriesResults r;
  CapturedOutput out;
  run_time_series(job, r, out.get(), 2);
  for (int i = 1; i <= 8; ++i) {
    const double p = r.pf[i] / 100;
    EXPECT_GT(p, 0.0);
    EXPECT_EQ(r.pf_se[i], std::sqrt(p * (1 - p) / 1792)) << i;
  }
  EXPECT_EQ(r.beta[8], r.sim_results[1793][3] / r.sim_results[1794][3]);
  EXPECT_EQ(r.pf_beta[8], probability_from_beta(r.beta[8]));
}

TEST(TimeSeries, ClockSeedReplacesTheSeedAndSingleTimeResetsIntervals) {
  JobData job = test::typical_job(10, 1);
  job.seed_mode = 1;
  job.dist_param[1][TIME] = 30;
  job.dist_param[2][TIME] = 0;
  SeriesResults r;
  CapturedOutput out;
  run_time_series(job, r, out.get(), 1);
  EXPECT_EQ(job.n_intervals, 0);
  EXPECT_NE(job.seed, 12345);
  EXPECT_EQ(r.times[1], 30.0);
  EXPECT_EQ(out.text(), "Simulation cycle number 1 \n");
}

TEST(TimeSeries, ClockSeedKeepsTheLowThirtyTwoBits) {
  const auto now = static_cast<std::int64_t>(std::time(nullptr));
  const std::int32_t seed = clock_seed();
  EXPECT_EQ(static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(now & 0xFFFFFFFF));
}

TEST(TimeSeries, AllFailedAndNoneFailed) {
  // A cover of 1 mm fails at once; a cover of 1 m never within a year.
  for (const double cover : {1.0, 1000.0}) {
    JobData job = test::typical_job(50, 1);
    job.dist_type[XC] = D;
    job.dist_param[1][XC] = cover;
    job.dist_param[1][TIME] = 1;
    job.dist_param[2][TIME] = 0;
    SeriesResults r;
    CapturedOutput out;
    run_time_series(job, r, out.get(), 1);
    EXPECT_EQ(r.pf[1], cover == 1.0 ? 100.0 : 0.0);
    EXPECT_EQ(r.pf_se[1], 0.0);
  }
}

}  // namespace
}  // namespace tbx
