// The fib model against values computed independently at high precision
// (tests/data/gen_fib_tables.py), its presets against the published table,
// and its engine against the plain cycle with each variable random in turn.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "model/fib_model.hpp"
#include "model/fib_presets.hpp"
#include "engine/cycle_engine.hpp"
#include "engine/plain_cycle.hpp"
#include "support/captured_output.hpp"
#include "support/jobs.hpp"
#include "support/ulp.hpp"

namespace tbx {
namespace {

using tbx_test::ulp_distance;

MomentDistribution fixed(double value) { return {MomentKind::fixed, value, 0, 0, 0}; }

struct FibCase {
  double a, dx, d_rcm0, alpha, be, t_celsius, cs, c0, ccrit, kt, t;
  double diffusion, load, initiation;
};
const FibCase FIB_CASES[] = {
#include "data/fib_model_reference.inc"
};

// ke D_RCM0 kt in mm2/year, C(a, t) and the initiation time: the unit of
// D_RCM0, the kelvin offset, the reference temperature and t0 each move
// them by 1e-5 or more. The bounds are what the arithmetic leaves: ke's
// exponent is the difference of two close reciprocals (about 10 ulp of the
// product), the initiation time raises it to 1 / (1 - alpha), and C is
// 1 - erf scaled by Cs_dx - C0, so its error is counted in units of that.
TEST(FibModel, MatchesThePublishedFormulasAtHighPrecision) {
  constexpr double EPS = std::numeric_limits<double>::epsilon();
  for (const FibCase& c : FIB_CASES) {
    FibJob job;
    const double values[FIB_VARIABLES] = {c.a, c.dx, c.d_rcm0, c.alpha, c.be, c.t_celsius, c.cs, c.c0, c.ccrit, c.kt};
    for (int v = 0; v < FIB_VARIABLES; ++v) job.inputs[static_cast<std::size_t>(v)].distribution = fixed(values[v]);
    const FibModel model(job);
    const FibModel::Kept& kept = model.constant();
    SCOPED_TRACE("a " + std::to_string(c.a) + ", T " + std::to_string(c.t_celsius) + ", t " + std::to_string(c.t));
    EXPECT_LE(ulp_distance(kept[FibModel::DIFFUSION], c.diffusion), 32u) << kept[FibModel::DIFFUSION];
    const double load = model.load(kept, model.at(c.t), c.t);
    EXPECT_LE(std::fabs(load - c.load), 8 * EPS * (c.cs - c.c0)) << load;
    EXPECT_LE(ulp_distance(model.initiation_time(kept, c.ccrit), c.initiation), 128u)
        << model.initiation_time(kept, c.ccrit);
  }
}

// fib Bulletin 34, Annex B, typed from the Bulletin; dx for tidal and spray
// exposure is this program's choice (as splash and as submerged).
TEST(FibPresets, AreThePublishedDistributions) {
  const MomentKind N = MomentKind::normal, B = MomentKind::beta, F = MomentKind::fixed;
  struct Row {
    FibVariable variable;
    const char *binder, *exposure;
    bool preset;
    MomentDistribution want;
  };
  const Row rows[] = {
      {FIB_BE, "", "", true, {N, 4800, 700, 0, 0}},
      {FIB_CCRIT, "slag", "tidal", true, {B, 0.6, 0.15, 0.2, 2.0}},
      {FIB_KT, "", "spray", true, {F, 1, 0, 0, 0}},
      {FIB_ALPHA, "CEM I", "", true, {B, 0.30, 0.12, 0, 1}},
      {FIB_ALPHA, "fly ash", "", true, {B, 0.60, 0.15, 0, 1}},
      {FIB_ALPHA, "slag", "", true, {B, 0.45, 0.20, 0, 1}},
      {FIB_DX, "", "splash", true, {B, 8.9, 5.6, 0, 50}},
      {FIB_DX, "", "tidal", true, {B, 8.9, 5.6, 0, 50}},
      {FIB_DX, "", "submerged", true, {F, 0, 0, 0, 0}},
      {FIB_DX, "", "spray", true, {F, 0, 0, 0, 0}},
      // No preset: the job must give them.
      {FIB_ALPHA, "", "splash", false, {}},
      {FIB_DX, "CEM I", "", false, {}},
      {FIB_A, "CEM I", "splash", false, {}},
      {FIB_D_RCM0, "CEM I", "splash", false, {}},
      {FIB_T, "CEM I", "splash", false, {}},
      {FIB_CS_DX, "CEM I", "splash", false, {}},
      {FIB_C0, "CEM I", "splash", false, {}},
  };
  for (const Row& r : rows) {
    const FibPreset* preset = find_fib_preset(r.variable, r.binder, r.exposure);
    SCOPED_TRACE(std::string(FIB_VARIABLES_INFO[r.variable].name) + " with '" + r.binder + "', '" + r.exposure + "'");
    ASSERT_EQ(preset != nullptr, r.preset);
    if (!r.preset) continue;
    const MomentDistribution& got = preset->distribution;
    EXPECT_EQ(got.kind, r.want.kind);
    EXPECT_EQ(got.mean, r.want.mean);
    EXPECT_EQ(got.sd, r.want.sd);
    EXPECT_EQ(got.lower, r.want.lower);
    EXPECT_EQ(got.upper, r.want.upper);
  }
}

/// A tidal-zone job with every variable fixed at a typical value, then
/// `random` given a distribution (-1: every variable, FIB_VARIABLES: none).
FibJob one_random(int random) {
  FibJob job;
  job.simulations = 300;
  job.seed = 4242;
  const MomentDistribution typical[FIB_VARIABLES] = {
      {MomentKind::normal, 45, 8, 0, 0},       {MomentKind::beta, 8.9, 5.6, 0, 50},
      {MomentKind::lognormal, 8.9, 1.8, 0, 0}, {MomentKind::beta, 0.3, 0.12, 0, 1},
      {MomentKind::normal, 4800, 700, 0, 0},   {MomentKind::uniform, 0, 0, 5, 25},
      {MomentKind::lognormal, 3.0, 0.9, 0, 0}, {MomentKind::normal, 0.1, 0.02, 0, 0},
      {MomentKind::beta, 0.6, 0.15, 0.2, 2.0}, {MomentKind::normal, 1, 0.1, 0, 0},
  };
  for (int v = 0; v < FIB_VARIABLES; ++v) {
    const MomentDistribution& d = typical[v];
    const double mean = d.kind == MomentKind::uniform ? 0.5 * (d.lower + d.upper) : d.mean;
    job.inputs[static_cast<std::size_t>(v)].distribution = v == random || random < 0 ? d : fixed(mean);
  }
  return job;
}

/// The bits of R, S and G and the indicators of every simulation after the
/// series `times`, by the engine (threads > 0) or the plain cycle.
std::vector<std::uint64_t> fib_series(const FibJob& job, const std::vector<double>& times, int threads,
                                      std::int64_t chunk) {
  const std::int64_t nsim = job.simulations;
  IntVector indicator(nsim);
  RealMatrix sims(nsim + 2, 3);
  test::CapturedOutput out;
  const FibModel model(job);
  if (threads == 0) {
    for (const double t : times) plain_cycle(model, nsim, job.seed, t, indicator, sims, out.get());
  } else {
    CycleEngine<FibModel> engine(model, nsim, job.seed, indicator, sims, out.get(), threads, chunk);
    for (const double t : times) engine.run(t);
  }
  EXPECT_EQ(out.text(), "");
  std::vector<std::uint64_t> bits;
  for (std::int64_t j = 1; j <= nsim; ++j) {
    for (int k = 1; k <= 3; ++k) bits.push_back(test::bits(sims[j][k]));
    bits.push_back(static_cast<std::uint64_t>(indicator[j]));
  }
  return bits;
}

// Each variable random in turn (-1: all of them): what the engine keeps per
// simulation and what it shares must give the plain cycle's bits, and the
// variable's scatter must reach the results.
TEST(FibEngine, MatchesThePlainCycleWithEachVariableRandom) {
  const std::vector<double> times = {1, 10, 50};
  const std::vector<std::uint64_t> all_fixed = fib_series(one_random(FIB_VARIABLES), times, 0, 0);
  for (int v = -1; v < FIB_VARIABLES; ++v) {
    SCOPED_TRACE(v < 0 ? "all random" : FIB_VARIABLES_INFO[static_cast<std::size_t>(v)].name);
    const FibJob job = one_random(v);
    const std::vector<std::uint64_t> want = fib_series(job, times, 0, 0);
    EXPECT_NE(want, all_fixed);
    for (const int threads : {1, 3}) {
      for (const std::int64_t chunk : {CycleEngine<FibModel>::DEFAULT_CHUNK, std::int64_t{7}}) {
        EXPECT_EQ(fib_series(job, times, threads, chunk), want) << threads << " threads, chunk " << chunk;
      }
    }
  }
}

}  // namespace
}  // namespace tbx
