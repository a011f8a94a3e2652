#include "engine/cycle_engine.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/plain_cycle.hpp"
#include "model/chloride_model.hpp"
#include "support/captured_output.hpp"
#include "support/fatal_report.hpp"
#include "support/jobs.hpp"
#include "prob/random.hpp"

namespace tbx {
namespace {

using namespace test::short_names;

// Everything a series of cycles leaves behind: the console text, the fatal
// report if any, and the bits of the last time point's results.
struct Outcome {
  std::string console;
  std::string fatal;
  std::vector<std::int32_t> indicator;
  std::vector<std::uint64_t> results;
};

void keep_results(Outcome& o, const IntVector& indicator, const RealMatrix& sims, std::int64_t nsim) {
  o.indicator.assign(indicator.data(), indicator.data() + nsim);
  o.results.clear();
  for (std::int64_t j = 1; j <= nsim; ++j) {
    for (int k = 1; k <= 3; ++k) o.results.push_back(test::bits(sims[j][k]));
  }
}

using Engine = CycleEngine<ChlorideModel>;

/// The plain cycle at every time of `times`, as the series loop calls it.
Outcome plain_series(const JobData& job, const std::vector<double>& times) {
  Outcome o;
  IntVector indicator(job.nsim);
  RealMatrix sims(std::int64_t{job.nsim} + 2, 3);
  test::CapturedOutput out;
  o.fatal = test::report_of([&] {
    const ChlorideModel model(job);
    for (const double t : times) plain_cycle(model, job.nsim, job.seed, t, indicator, sims, out.get());
  });
  o.console = out.text();
  keep_results(o, indicator, sims, job.nsim);
  return o;
}

Outcome engine_series(const JobData& job, const std::vector<double>& times, int threads, std::int64_t chunk) {
  Outcome o;
  IntVector indicator(job.nsim);
  RealMatrix sims(std::int64_t{job.nsim} + 2, 3);
  test::CapturedOutput out;
  o.fatal = test::report_of([&] {
    Engine engine(ChlorideModel(job), job.nsim, job.seed, indicator, sims, out.get(), threads, chunk);
    for (const double t : times) engine.run(t);
  });
  o.console = out.text();
  keep_results(o, indicator, sims, job.nsim);
  return o;
}

void expect_same(const Outcome& want, const Outcome& got) {
  EXPECT_EQ(want.console, got.console);
  EXPECT_EQ(want.fatal, got.fatal);
  if (!want.fatal.empty()) return;  // the results were never complete
  EXPECT_EQ(want.indicator, got.indicator);
  EXPECT_EQ(want.results, got.results);
}

struct EngineCase {
  const char* name;
  std::array<test::VariableSpec, 9> variables;
  std::int32_t analysis_mode;
  std::vector<double> times;
};

// Each case exercises one path of the engine: random age terms evaluated per
// simulation, the shared age factor, a sampled time, the temperature's
// shared inversion, the console events and the fatal beta inversion (shapes
// B(1e7, 8e6) fail for about one draw in a hundred, after writing the
// continued fraction's texts).
const EngineCase ENGINE_CASES[] = {
    {"EveryDistribution",
     {{{N, 50, 8}, {LN, 0.693, 0.2}, {B, 4, 6}, {N, 3.0, 0.4}, {B, 9, 11}, {D, 0, 100}, {LN, 3.3, 0.1},
       {B, 5, 5}, {N, 28, 3}}},
     1,
     {1, 10, 20}},
    {"SharedAgeFactor",
     {{{N, 50, 8}, {LN, 0.693, 0.2}, {N, 0.4, 0.06}, {N, 3.0, 0.4}, {D, 0.45, 0}, {D, 0, 50}, {D, 28, 0},
       {N, 20, 2}, {D, 28, 0}}},
     0,
     {1, 10, 50}},
    {"SampledTimeAndLognormalTemperature",
     {{{N, 50, 8}, {LN, 0.693, 0.2}, {N, 0.4, 0.06}, {LN, 1.1, 0.15}, {D, 0.45, 0}, {N, 0, 3}, {D, 28, 0},
       {LN, 3.0, 0.1}, {D, 28, 0}}},
     1,
     {1, 25}},
    {"NegativeDiffusionWarnings",
     {{{N, 50, 8}, {N, 0.2, 1.0}, {N, 0.4, 0.06}, {N, 3.0, 0.4}, {B, 12, 14}, {D, 0, 50}, {D, 28, 0},
       {N, 20, 2}, {D, 28, 0}}},
     0,
     {1, 30}},
    {"BetaFailsBeforeTheTime",
     {{{N, 50, 8}, {N, 0.2, 1.0}, {B, 1e7, 8e6}, {N, 3.0, 0.4}, {D, 0.45, 0}, {D, 0, 50}, {D, 28, 0},
       {N, 20, 2}, {D, 28, 0}}},
     0,
     {1, 30}},
    {"BetaFailsAfterTheTime",
     {{{N, 50, 8}, {N, 0.2, 1.0}, {N, 0.4, 0.06}, {N, 3.0, 0.4}, {D, 0.45, 0}, {D, 0, 50}, {D, 28, 0},
       {N, 20, 2}, {B, 1e7, 8e6}}},
     0,
     {1, 30}},
    {"SampledTimeFails",
     {{{N, 50, 8}, {N, 0.2, 1.0}, {N, 0.4, 0.06}, {N, 3.0, 0.4}, {D, 0.45, 0}, {B, 0, 8e6}, {D, 28, 0},
       {N, 20, 2}, {D, 28, 0}}},
     0,
     {1e7}},
};

void PrintTo(const EngineCase& c, std::ostream* os) { *os << c.name; }

class CycleEngineTest : public ::testing::TestWithParam<EngineCase> {};

// Whatever the threads and the chunking, the engine leaves the plain cycle's
// results and console text, the run ending at the same point when a beta
// inversion fails. Chunks of 7 put several chunk boundaries in 300
// simulations, 1 makes every simulation a chunk of its own.
TEST_P(CycleEngineTest, MatchesThePlainCycle) {
  const EngineCase& c = GetParam();
  JobData job = test::make_job(c.variables, 300, 0, 4242);
  job.analysis_mode = c.analysis_mode;
  const Outcome want = plain_series(job, c.times);
  for (const int threads : {1, 2, 3, 8}) {
    for (const std::int64_t chunk : {Engine::DEFAULT_CHUNK, std::int64_t{7}, std::int64_t{1}}) {
      SCOPED_TRACE("threads " + std::to_string(threads) + ", chunk " + std::to_string(chunk));
      expect_same(want, engine_series(job, c.times, threads, chunk));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, CycleEngineTest, ::testing::ValuesIn(ENGINE_CASES),
                         [](const ::testing::TestParamInfo<EngineCase>& info) { return info.param.name; });

TEST(CycleEngine, TheFailingCasesDoFail) {
  // Guards the cases above: without a failure they would test less than
  // they claim.
  for (const EngineCase& c : ENGINE_CASES) {
    const std::string name = c.name;
    if (name.find("Fails") == std::string::npos) continue;
    JobData job = test::make_job(c.variables, 300, 0, 4242);
    const Outcome o = plain_series(job, c.times);
    EXPECT_EQ(o.fatal, "\nERROR:\nWarning: BETAINV did not converge \n\n") << name;
    EXPECT_NE(o.console.find(" NaN "), std::string::npos) << name;
    if (name != "SampledTimeFails") {
      EXPECT_NE(o.console.find("Warning: negative"), std::string::npos) << name;
    }
  }
}

// Each variable random in turn, the others fixed: the engine keeps per
// simulation what varies and shares the rest, so each variable's path must
// give the plain cycle's bits, and its scatter must reach the results.
TEST(CycleEngine, MatchesThePlainCycleWithEachVariableRandom) {
  const std::array<test::VariableSpec, 9> fixed = {{{D, 50, 0}, {D, 0.693, 0}, {D, 0.4, 0}, {D, 3.0, 0}, {D, 0.45, 0},
                                                    {D, 0, 50}, {D, 28, 0}, {D, 20, 0}, {D, 28, 0}}};
  const std::array<test::VariableSpec, 9> random = {{{N, 50, 8}, {LN, 0.693, 0.2}, {B, 4, 6}, {LN, 3.0, 0.4},
                                                     {B, 9, 11}, {N, 0, 3}, {LN, 28, 6}, {N, 20, 2}, {LN, 28, 6}}};
  const std::vector<double> times = {1, 10, 50};
  const Outcome all_fixed = plain_series(test::make_job(fixed, 200, 0, 4242), times);
  for (std::size_t v = 0; v < fixed.size(); ++v) {
    std::array<test::VariableSpec, 9> vars = fixed;
    vars[v] = random[v];
    const JobData job = test::make_job(vars, 200, 0, 4242);
    SCOPED_TRACE("variable " + std::to_string(v + 1));
    const Outcome want = plain_series(job, times);
    ASSERT_EQ(want.fatal, "");
    EXPECT_NE(want.results, all_fixed.results);
    for (const int threads : {1, 3}) {
      expect_same(want, engine_series(job, times, threads, 7));
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
