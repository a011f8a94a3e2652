// The fib model on whole series: the probability of failure against its
// closed form where only the cover is random, and the outputs independent of
// the number of threads.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "engine/time_series.hpp"
#include "model/fib_model.hpp"
#include "prob/normal.hpp"
#include "report/fib_report.hpp"
#include "report/summary_files.hpp"
#include "summary/simulation_model.hpp"
#include "support/fib_series.hpp"

namespace tbx {
namespace {

MomentDistribution fixed(double value) { return {MomentKind::fixed, value, 0, 0, 0}; }

/// A splash-zone job: the cover normal 50 / 8 mm, everything else fixed.
FibJob cover_only_job(std::int64_t nsim) {
  FibJob job;
  job.title = "cover only";
  job.simulations = nsim;
  job.seed = 4711;
  job.times = {10, 30, 100};
  auto& in = job.inputs;
  in[FIB_A].distribution = {MomentKind::normal, 50, 8, 0, 0};
  in[FIB_DX].distribution = fixed(0);
  in[FIB_D_RCM0].distribution = fixed(8.9);
  in[FIB_ALPHA].distribution = fixed(0.45);
  in[FIB_BE].distribution = fixed(4800);
  in[FIB_T].distribution = fixed(15);
  in[FIB_CS_DX].distribution = fixed(3.0);
  in[FIB_C0].distribution = fixed(0.1);
  in[FIB_CCRIT].distribution = fixed(0.6);
  in[FIB_KT].distribution = fixed(1);
  return job;
}

using tbx_test::FibSeries;

TEST(FibModel, OnlyTheCoverRandomGivesTheClosedForm) {
  const FibJob job = cover_only_job(100000);
  const FibSeries run(job, 2);
  const double ke = std::exp(4800 * (1 / 293.0 - 1 / (15 + 273.15)));
  for (std::size_t i = 0; i < job.times.size(); ++i) {
    const double t = job.times[i];
    // The depth at which C = Ccrit: 1 - erf(x / (2 sqrt(Dapp t))) = 0.5 / 2.9.
    const double dapp = ke * 8.9 * RCM_UNIT_MM2_PER_YEAR * std::pow(FIB_T0_YEARS / t, 0.45);
    const double x = 2 * std::sqrt(dapp * t) * normal_quantile(1 - 0.5 / 2.9 / 2) / std::sqrt(2.0);
    const double p = normal_cdf((x - 50) / 8);
    const double pf = run.results.pf[static_cast<std::int64_t>(i) + 1] / 100;
    const double se = std::sqrt(p * (1 - p) / 1e5);
    EXPECT_NEAR(pf, p, 3 * se) << "t = " << t;
    // The depth is where the model's C equals Ccrit.
    const FibModel model(job);
    FibModel::Kept kept = model.constant();
    kept[FibModel::COVER] = x;
    EXPECT_NEAR(model.load(kept, model.at(t), t), 0.6, 1e-12);
  }
  EXPECT_GT(run.results.pf[1], 0.2);  // the three times span a useful range of Pf
  EXPECT_LT(run.results.pf[3], 90.0);
}

TEST(FibModel, ClosedFormInitiationTimesAgreeWithTheTimePoints) {
  FibJob job = cover_only_job(20000);
  job.times = {2, 5, 10, 20, 50, 100};
  job.inputs[FIB_D_RCM0].distribution = {MomentKind::normal, 8.9, 1.8, 0, 0};
  job.inputs[FIB_ALPHA].distribution = {MomentKind::beta, 0.45, 0.12, 0, 1};
  job.inputs[FIB_CCRIT].distribution = {MomentKind::beta, 0.6, 0.15, 0.2, 2.0};
  const FibSeries run(job, 2);
  const std::vector<double> t = initiation_times(*run.simulations);
  for (std::size_t i = 0; i < job.times.size(); ++i) {
    std::int64_t initiated = 0;
    for (const double tj : t) initiated += tj <= job.times[i];
    EXPECT_EQ(initiated, run.simulations->failures()[i]) << job.times[i];
  }
  // Between two time points, the time found is where C reaches Ccrit.
  int checked = 0;
  for (std::int64_t j = 1; j <= job.simulations && checked < 50; ++j) {
    const double tj = t[static_cast<std::size_t>(j - 1)];
    if (!(tj > job.times.front() && tj < job.times.back())) continue;
    EXPECT_NEAR(run.simulations->load(j, tj), run.simulations->resistance(j), 1e-9) << j;
    ++checked;
  }
  EXPECT_EQ(checked, 50);
}

TEST(FibModel, ConvectionZoneAndCriticalDepthLimits) {
  FibModel::TimePoint point;
  point.t = 10;
  point.ageing_shared = true;
  point.ageing = 1;
  FibJob job = cover_only_job(1);
  job.inputs[FIB_DX].distribution = fixed(10);
  const FibModel model(job);
  FibModel::Kept kept = model.constant();
  kept[FibModel::COVER] = 9.5;
  EXPECT_EQ(model.load(kept, point, 10), 3.0);  // in the convection zone: Cs_dx
  kept[FibModel::COVER] = 40;
  kept[FibModel::DIFFUSION] = -1;
  EXPECT_EQ(model.load(kept, point, 10), 0.1);  // no diffusion: C0
  constexpr double INF = HUGE_VAL;
  EXPECT_EQ(FibModel::critical_depth(10, 0.1, 3.0, 0.05, 5), INF);   // Ccrit <= C0: every cover fails
  EXPECT_EQ(FibModel::critical_depth(10, 0.1, 3.0, 3.5, 5), -INF);   // Ccrit > Cs_dx: none does
  EXPECT_EQ(FibModel::critical_depth(10, 0.1, 3.0, 3.0, 5), 10.0);   // Ccrit = Cs_dx: up to dx
  EXPECT_EQ(FibModel::indicator(0.0), 1);  // C = Ccrit is a failure
}

TEST(FibModel, OutputsDoNotDependOnTheThreads) {
  FibJob job = cover_only_job(20000);
  job.inputs[FIB_D_RCM0].distribution = {MomentKind::normal, 8.9, 1.8, 0, 0};
  job.inputs[FIB_CS_DX].distribution = {MomentKind::lognormal, 3.0, 0.9, 0, 0};
  job.inputs[FIB_ALPHA].distribution = {MomentKind::beta, 0.3, 0.12, 0, 1};
  const auto outputs = [&](int threads) {
    const FibSeries run(job, threads);
    const Summary s = summarize(*run.simulations, run.results, {});
    return summary_json(s) + summary_csv(s) + fib_report(job, "job.toml", s);
  };
  EXPECT_EQ(outputs(1), outputs(2));
}

// A cut cover has bounds that a shift would keep or move: no design cover.
TEST(FibModel, ACutCoverHasNoDistributionToShift) {
  FibJob job = cover_only_job(10);
  EXPECT_EQ(FibModel(job).cover().reason, "");
  job.inputs[FIB_A].distribution = {MomentKind::normal, 50, 8, 0, HUGE_VAL, true};
  EXPECT_EQ(FibModel(job).cover().reason,
            "the cover has a normal distribution cut at bounds: no distribution to shift freely");
}

}  // namespace
}  // namespace tbx
