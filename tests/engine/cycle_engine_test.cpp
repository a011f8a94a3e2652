// The cycle engine of every limit-state model against the plain cycle, the
// yardstick: at any number of threads and any chunking, a series leaves the
// plain cycle's console text, failures, Pf and R, S, G bit for bit, and a
// failing inversion ends it at the same point.

#include "engine/cycle_engine.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/plain_cycle.hpp"
#include "engine/time_series.hpp"
#include "model/chloride_model.hpp"
#include "model/fib_model.hpp"
#include "prob/random.hpp"
#include "support/captured_output.hpp"
#include "support/fatal_report.hpp"
#include "support/jobs.hpp"

namespace tbx {
namespace {

using namespace test::short_names;

/// A series of one model's job, and what its plain run must show.
template <typename Model>
struct Case {
  std::string name;
  Model model;
  std::int64_t nsim;
  std::int32_t seed;
  std::vector<double> times;
  bool fails = false;               ///< a beta inversion ends the run
  std::vector<std::string> events;  ///< texts the console shows; none: no event at all
};

// Everything a series leaves behind, as bits.
struct Outcome {
  std::string console;
  std::string fatal;
  std::vector<std::int32_t> indicator;
  std::vector<std::uint64_t> columns;  // R, S, G of every simulation, then their means and deviations
  std::vector<std::uint64_t> series;   // per time point Pf, its error, Beta, Pf of Beta; the failures
};

/// The series of `c` by `Cycler` (PlainCycle, or CycleEngine with `extra` =
/// threads, chunk). Staged, through run_series, which gathers the statistics
/// and the failures in the cycle's stages; else the cycle alone.
template <template <typename> class Cycler, typename Model, typename... Extra>
Outcome outcome(const Case<Model>& c, bool staged, Extra... extra) {
  Outcome o;
  SeriesResults r;
  allocate_series_results(r, c.nsim, static_cast<std::int64_t>(c.times.size()));
  test::CapturedOutput out;
  o.fatal = test::report_of([&] {
    Cycler<Model> cycle(c.model, c.nsim, c.seed, r.indicator, r.sim_results, out.get(), extra...);
    if (staged) {
      run_series(c.times, c.nsim, [&](double t, const RowStages& stages) { cycle.run(t, stages); }, r, out.get());
    } else {
      for (const double t : c.times) cycle.run(t);
    }
  });
  o.console = out.text();
  if (!o.fatal.empty()) return o;  // the results were never complete
  o.indicator.assign(r.indicator.data(), r.indicator.data() + c.nsim);
  for (std::int64_t j = 1; j <= (staged ? c.nsim + 2 : c.nsim); ++j) {
    for (int k = 1; k <= 3; ++k) o.columns.push_back(test::bits(r.sim_results[j][k]));
  }
  if (!staged) return o;
  for (std::int64_t i = 1; i <= static_cast<std::int64_t>(c.times.size()); ++i) {
    for (const double x : {r.pf[i], r.pf_se[i], r.beta[i], r.pf_beta[i]}) o.series.push_back(test::bits(x));
  }
  o.series.push_back(test::bits(r.n_failures));
  return o;
}

void expect_same(const Outcome& want, const Outcome& got) {
  EXPECT_EQ(want.console, got.console);
  EXPECT_EQ(want.fatal, got.fatal);
  EXPECT_EQ(want.indicator, got.indicator);
  EXPECT_EQ(want.columns, got.columns);
  EXPECT_EQ(want.series, got.series);
}

// ---------------------------------------------------------------------------
// The classic model. Each case exercises one path of the engine: random age
// terms evaluated per simulation, the shared age factor, a sampled time, the
// temperature's shared inversion, the console events and the fatal beta
// inversion (shapes B(1e7, 8e6) fail for about one draw in a hundred, after
// writing the continued fraction's texts).

struct Classic {
  using Model = ChlorideModel;
  static constexpr const char* NAME = "Classic";

  static Case<Model> make(std::string name, const std::array<test::VariableSpec, 9>& vars, std::int32_t mode,
                          std::int32_t nsim, std::int32_t seed, std::vector<double> times, bool fails = false,
                          std::vector<std::string> events = {}) {
    JobData job = test::make_job(vars, nsim, 0, seed);
    job.analysis_mode = mode;
    return {std::move(name), Model(job), nsim, seed, std::move(times), fails, std::move(events)};
  }

  static std::vector<Case<Model>> cases() {
    const char* NAN_TEXT = " NaN ";
    const char* NEGATIVE = "Warning: negative";
    std::vector<Case<Model>> c = {
        make("every distribution",
             {{{N, 50, 8}, {LN, 0.693, 0.2}, {B, 4, 6}, {N, 3.0, 0.4}, {B, 9, 11}, {D, 0, 100}, {LN, 3.3, 0.1},
               {B, 5, 5}, {N, 28, 3}}},
             1, 300, 4242, {1, 10, 20}),
        make("shared age factor",
             {{{N, 50, 8}, {LN, 0.693, 0.2}, {N, 0.4, 0.06}, {N, 3.0, 0.4}, {D, 0.45, 0}, {D, 0, 50}, {D, 28, 0},
               {N, 20, 2}, {D, 28, 0}}},
             0, 300, 4242, {1, 10, 50}),
        make("sampled time and lognormal temperature",
             {{{N, 50, 8}, {LN, 0.693, 0.2}, {N, 0.4, 0.06}, {LN, 1.1, 0.15}, {D, 0.45, 0}, {N, 0, 3}, {D, 28, 0},
               {LN, 3.0, 0.1}, {D, 28, 0}}},
             1, 300, 4242, {1, 25}),
        make("negative diffusion warnings",
             {{{N, 50, 8}, {N, 0.2, 1.0}, {N, 0.4, 0.06}, {N, 3.0, 0.4}, {B, 12, 14}, {D, 0, 50}, {D, 28, 0},
               {N, 20, 2}, {D, 28, 0}}},
             0, 300, 4242, {1, 30}, false, {NEGATIVE}),
        make("beta fails before the time",
             {{{N, 50, 8}, {N, 0.2, 1.0}, {B, 1e7, 8e6}, {N, 3.0, 0.4}, {D, 0.45, 0}, {D, 0, 50}, {D, 28, 0},
               {N, 20, 2}, {D, 28, 0}}},
             0, 300, 4242, {1, 30}, true, {NAN_TEXT, NEGATIVE}),
        make("beta fails after the time",
             {{{N, 50, 8}, {N, 0.2, 1.0}, {N, 0.4, 0.06}, {N, 3.0, 0.4}, {D, 0.45, 0}, {D, 0, 50}, {D, 28, 0},
               {N, 20, 2}, {B, 1e7, 8e6}}},
             0, 300, 4242, {1, 30}, true, {NAN_TEXT, NEGATIVE}),
        make("sampled time fails",
             {{{N, 50, 8}, {N, 0.2, 1.0}, {N, 0.4, 0.06}, {N, 3.0, 0.4}, {D, 0.45, 0}, {B, 0, 8e6}, {D, 28, 0},
               {N, 20, 2}, {D, 28, 0}}},
             0, 300, 4242, {1e7}, true, {NAN_TEXT}),
        // More than two default chunks: the default split reaches every thread.
        make("several default chunks",
             {{{N, 50, 8}, {LN, 0.693, 0.2}, {B, 4, 6}, {N, 1.0, 0.1}, {B, 9, 11}, {D, 0, 100}, {LN, 3.3, 0.1},
               {N, 15, 2}, {N, 28, 3}}},
             1, 2500, 99, {1, 25, 50, 75, 100}),
    };
    // The age terms n, te and to each fixed or random, with te and to
    // different, and the time fixed or random: the engine shares the age
    // factor only where all four are fixed.
    const test::VariableSpec n[] = {{D, 0.45, 0}, {B, 9, 11}}, te[] = {{D, 90, 0}, {N, 60, 10}},
                             to[] = {{D, 28, 0}, {LN, 3.3, 0.1}}, t[] = {{D, 0, 50}, {N, 0, 50}};
    for (int mix = 0; mix < 16; ++mix) {
      const int rn = mix & 1, rte = (mix >> 1) & 1, rto = (mix >> 2) & 1, rt = (mix >> 3) & 1;
      const std::string name = std::string("age terms random:") + (rn ? " n" : "") + (rte ? " te" : "") +
                               (rto ? " to" : "") + (rt ? " t" : "");
      c.push_back(make(name,
                       {{{N, 50, 8}, {LN, 0.693, 0.2}, {N, 0.4, 0.06}, {N, 3.0, 0.4}, n[rn], t[rt], to[rto],
                         {N, 20, 2}, te[rte]}},
                       0, 150, 31337, {1, 16, 32, 48}));
    }
    return c;
  }

  /// Every variable fixed, then each random in turn.
  static std::vector<Case<Model>> each_variable_random() {
    const std::array<test::VariableSpec, 9> fixed = {{{D, 50, 0}, {D, 0.693, 0}, {D, 0.4, 0}, {D, 3.0, 0},
                                                      {D, 0.45, 0}, {D, 0, 50}, {D, 28, 0}, {D, 20, 0}, {D, 28, 0}}};
    const std::array<test::VariableSpec, 9> random = {{{N, 50, 8}, {LN, 0.693, 0.2}, {B, 4, 6}, {LN, 3.0, 0.4},
                                                       {B, 9, 11}, {N, 0, 3}, {LN, 28, 6}, {N, 20, 2}, {LN, 28, 6}}};
    std::vector<Case<Model>> c = {make("none random", fixed, 0, 200, 4242, {1, 10, 50})};
    for (std::size_t v = 0; v < fixed.size(); ++v) {
      std::array<test::VariableSpec, 9> vars = fixed;
      vars[v] = random[v];
      c.push_back(make("variable " + std::to_string(v + 1) + " random", vars, 0, 200, 4242, {1, 10, 50}));
    }
    return c;
  }
};

// ---------------------------------------------------------------------------
// The fib model: it never prints and never fails; its paths are the ageing
// shared or per simulation, the cover in the convection zone and a diffusion
// coefficient that is not positive.

MomentDistribution fixed(double value) { return {MomentKind::fixed, value, 0, 0, 0}; }

struct Fib {
  using Model = FibModel;
  static constexpr const char* NAME = "Fib";

  /// A tidal-zone job with every variable at a typical distribution, or fixed
  /// at its mean where `random` says not.
  static FibJob job(const std::array<bool, FIB_VARIABLES>& random) {
    FibJob job;
    const MomentDistribution typical[FIB_VARIABLES] = {
        {MomentKind::normal, 45, 8, 0, 0},       {MomentKind::beta, 8.9, 5.6, 0, 50},
        {MomentKind::lognormal, 8.9, 1.8, 0, 0}, {MomentKind::beta, 0.3, 0.12, 0, 1},
        {MomentKind::normal, 4800, 700, 0, 0},   {MomentKind::uniform, 0, 0, 5, 25},
        {MomentKind::lognormal, 3.0, 0.9, 0, 0}, {MomentKind::normal, 0.1, 0.02, 0, 0},
        {MomentKind::beta, 0.6, 0.15, 0.2, 2.0}, {MomentKind::normal, 1, 0.1, 0, 0},
    };
    for (std::size_t v = 0; v < FIB_VARIABLES; ++v) {
      const MomentDistribution& d = typical[v];
      const double mean = d.kind == MomentKind::uniform ? 0.5 * (d.lower + d.upper) : d.mean;
      job.inputs[v].distribution = random[v] ? d : fixed(mean);
    }
    return job;
  }
  static Case<Model> make(std::string name, const FibJob& job, std::int64_t nsim, std::vector<double> times) {
    return {std::move(name), Model(job), nsim, 4242, std::move(times), false, {}};
  }

  static std::vector<Case<Model>> cases() {
    std::array<bool, FIB_VARIABLES> all{};
    all.fill(true);
    FibJob shallow = job(all);
    shallow.inputs[FIB_A].distribution = {MomentKind::normal, 10, 8, 0, 0};
    shallow.inputs[FIB_D_RCM0].distribution = {MomentKind::normal, 1, 1.5, 0, 0};
    return {
        make("every variable random", job(all), 300, {1, 10, 50}),
        // Covers within dx, and D_RCM0 below 0 in a quarter of the draws.
        make("convection zone and no diffusion", shallow, 300, {1, 10, 50}),
        make("several default chunks", job(all), 2500, {10, 30, 100}),
    };
  }

  static std::vector<Case<Model>> each_variable_random() {
    std::vector<Case<Model>> c = {make("none random", job({}), 300, {1, 10, 50})};
    for (std::size_t v = 0; v < FIB_VARIABLES; ++v) {
      std::array<bool, FIB_VARIABLES> random{};
      random[v] = true;
      c.push_back(make(std::string(FIB_VARIABLES_INFO[v].name) + " random", job(random), 300, {1, 10, 50}));
    }
    return c;
  }
};

// ---------------------------------------------------------------------------

template <typename Traits>
class EveryModel : public ::testing::Test {};

struct ModelName {
  template <typename Traits>
  static std::string GetName(int) {
    return Traits::NAME;
  }
};

using Models = ::testing::Types<Classic, Fib>;
TYPED_TEST_SUITE(EveryModel, Models, ModelName);

constexpr std::int64_t DEFAULT_CHUNK = CycleEngine<ChlorideModel>::DEFAULT_CHUNK;

// Whatever the threads and the chunking, the engine leaves the plain
// cycle's results and console text, the run ending at the same point when an
// inversion fails; alone and within a series, whose statistics it gathers
// chunk by chunk. Chunks of 7 put several chunk boundaries in 300
// simulations, 1 makes every simulation a chunk of its own.
TYPED_TEST(EveryModel, EngineMatchesThePlainCycleOnAnyThreads) {
  using Model = typename TypeParam::Model;
  const std::string betainv = "\nERROR:\nWarning: BETAINV did not converge \n\n";
  for (const Case<Model>& c : TypeParam::cases()) {
    for (const bool staged : {true, false}) {
      SCOPED_TRACE(c.name + (staged ? ", in a series" : ", alone"));
      const Outcome want = outcome<PlainCycle>(c, staged);
      // Guards the case: it must test what it claims.
      EXPECT_EQ(want.fatal, c.fails ? betainv : "");
      for (const std::string& event : c.events) EXPECT_NE(want.console.find(event), std::string::npos) << event;
      if (c.events.empty()) {
        EXPECT_EQ(want.console.find("Warning"), std::string::npos);
        EXPECT_EQ(want.console.find("NaN"), std::string::npos);
      }
      for (const int threads : {1, 2, 3, 8}) {
        for (const std::int64_t chunk : {DEFAULT_CHUNK, std::int64_t{7}, std::int64_t{1}}) {
          SCOPED_TRACE("threads " + std::to_string(threads) + ", chunk " + std::to_string(chunk));
          expect_same(want, outcome<CycleEngine>(c, staged, threads, chunk));
        }
      }
    }
  }
}

// Each variable random in turn, the others fixed: the engine keeps per
// simulation what varies and shares the rest, so each variable's path must
// give the plain cycle's bits, and its scatter must reach the results.
TYPED_TEST(EveryModel, EngineMatchesThePlainCycleWithEachVariableRandom) {
  const auto cases = TypeParam::each_variable_random();
  const Outcome none_random = outcome<PlainCycle>(cases.front(), true);
  for (std::size_t v = 1; v < cases.size(); ++v) {
    SCOPED_TRACE(cases[v].name);
    const Outcome want = outcome<PlainCycle>(cases[v], true);
    ASSERT_EQ(want.fatal, "");
    EXPECT_NE(want.columns, none_random.columns);
    for (const int threads : {1, 3}) {
      for (const std::int64_t chunk : {DEFAULT_CHUNK, std::int64_t{7}}) {
        SCOPED_TRACE("threads " + std::to_string(threads) + ", chunk " + std::to_string(chunk));
        expect_same(want, outcome<CycleEngine>(cases[v], true, threads, chunk));
      }
    }
  }
}

TEST(SeedAfterDraws, MatchesDrawingOneByOne) {
  // Ordinary, negative and stuck seeds (the masked state 0, 2^31 - 1 and its
  // negative), and the extremes of the type.
  const std::int32_t seeds[] = {1,         12345,       0,          -1,
                                SEED_MASK, SEED_MASK ^ 2147483647, SEED_MASK ^ -2147483647,
                                INT32_MIN, INT32_MAX,   987654321};
  const std::int64_t counts[] = {0, 1, 2, 9, 4096 * 9 - 1, 4096 * 9, 4096 * 9 + 1, 1000003};
  for (const std::int32_t seed : seeds) {
    std::int32_t state = seed;
    std::int64_t drawn = 0;
    double u = 0.0;
    for (const std::int64_t n : counts) {
      for (; drawn < n; ++drawn) uniform_deviate(state, u);
      EXPECT_EQ(seed_after_draws(seed, n), state) << "seed " << seed << ", " << n << " draws";
    }
  }
}

}  // namespace
}  // namespace tbx
