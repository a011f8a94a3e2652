#include "input/fib_reader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fatal_report.hpp"

namespace tbx {
namespace {

using test::report_of;

// Line numbers matter: messages name them.
const std::vector<std::string> VALID_LINES = {
    "# Pier in the splash zone",                                      // 1
    "title = \"Pier\"",                                               // 2
    "model = \"fib\"",                                                // 3
    "simulations = 1000",                                             // 4
    "seed = 12345",                                                   // 5
    "times = [10, 20.5, 50]",                                         // 6
    "binder = \"CEM I\"",                                             // 7
    "exposure = \"splash\"",                                          // 8
    "D_RCM0 = { distribution = \"lognormal\", mean = 8.9, sd = 1.8 }",  // 9
    "T = { distribution = \"uniform\", lower = 5, upper = 25 }",      // 10
    "C0 = { distribution = \"fixed\", value = 0.1 }",                 // 11
    "Ccrit = { distribution = \"fixed\", value = 0.5 }",              // 12
    "[a]",                                                            // 13
    "distribution = \"normal\"",                                      // 14
    "mean = 50",                                                      // 15
    "sd = 8",                                                         // 16
    "[Cs_dx]",                                                        // 17
    "distribution = \"beta\"",                                        // 18
    "mean = 3",                                                       // 19
    "sd = 1",                                                         // 20
    "lower = 0",                                                      // 21
    "upper = 6",                                                      // 22
};

/// The valid job with line `line` (1-based) replaced; "" keeps every line.
std::string job_text(int line = 0, const std::string& replacement = "") {
  std::string text;
  for (int i = 1; i <= static_cast<int>(VALID_LINES.size()); ++i) {
    text += (i == line ? replacement : VALID_LINES[i - 1]) + "\n";
  }
  return text;
}

FibJob read(const std::string& text) { return read_fib_job(text, "pier.toml"); }

void expect_distribution(const MomentDistribution& d, MomentKind kind, double mean, double sd, double lower = 0,
                         double upper = 0) {
  EXPECT_EQ(d.kind, kind);
  EXPECT_EQ(d.mean, mean);
  EXPECT_EQ(d.sd, sd);
  EXPECT_EQ(d.lower, lower);
  EXPECT_EQ(d.upper, upper);
}

TEST(ReadFibJob, ReadsFieldsAndFillsPresets) {
  const FibJob job = read(job_text());
  EXPECT_EQ(job.title, "Pier");
  EXPECT_EQ(job.simulations, 1000);
  EXPECT_EQ(job.seed, 12345);
  EXPECT_EQ(job.times, (std::vector<double>{10, 20.5, 50}));
  EXPECT_EQ(job.target_beta, 1.3);
  EXPECT_EQ(job.binder, "CEM I");
  EXPECT_EQ(job.exposure, "splash");

  struct Expected {
    FibOrigin origin;
    const char* preset;
    int line;
  };
  const std::array<Expected, FIB_VARIABLES> expected = {{
      {FibOrigin::job, "", 13},                      // a
      {FibOrigin::preset, "exposure splash", 0},     // dx
      {FibOrigin::job, "", 9},                       // D_RCM0
      {FibOrigin::preset, "binder CEM I", 0},        // alpha
      {FibOrigin::preset, "default", 0},             // be
      {FibOrigin::job, "", 10},                      // T
      {FibOrigin::job, "", 17},                      // Cs_dx
      {FibOrigin::job, "", 11},                      // C0
      {FibOrigin::overridden, "default", 12},        // Ccrit
      {FibOrigin::preset, "default", 0},             // kt
  }};
  for (int v = 0; v < FIB_VARIABLES; ++v) {
    SCOPED_TRACE(FIB_VARIABLES_INFO[v].name);
    EXPECT_EQ(job.inputs[v].origin, expected[v].origin);
    EXPECT_EQ(job.inputs[v].preset, expected[v].preset);
    EXPECT_EQ(job.inputs[v].line, expected[v].line);
  }
  expect_distribution(job.inputs[FIB_A].distribution, MomentKind::normal, 50, 8);
  expect_distribution(job.inputs[FIB_D_RCM0].distribution, MomentKind::lognormal, 8.9, 1.8);
  expect_distribution(job.inputs[FIB_T].distribution, MomentKind::uniform, 0, 0, 5, 25);
  expect_distribution(job.inputs[FIB_CS_DX].distribution, MomentKind::beta, 3, 1, 0, 6);
  expect_distribution(job.inputs[FIB_CCRIT].distribution, MomentKind::fixed, 0.5, 0);
  expect_distribution(job.inputs[FIB_DX].distribution, MomentKind::beta, 8.9, 5.6, 0, 50);
  expect_distribution(job.inputs[FIB_ALPHA].distribution, MomentKind::beta, 0.30, 0.12, 0, 1);
  expect_distribution(job.inputs[FIB_BE].distribution, MomentKind::normal, 4800, 700);
  expect_distribution(job.inputs[FIB_KT].distribution, MomentKind::fixed, 1, 0);
}

TEST(ReadFibJob, SubmergedExposureFixesTheConvectionZoneAtZero) {
  const FibJob job = read(job_text(8, "exposure = \"submerged\""));
  EXPECT_EQ(job.inputs[FIB_DX].preset, "exposure submerged");
  expect_distribution(job.inputs[FIB_DX].distribution, MomentKind::fixed, 0, 0);
}

// A range counts in steps from `first` (not rounded to whole years) and
// closes with `last`, also where the steps miss it or only rounding does.
TEST(ReadFibJob, TimeRangeCountsStepsFromFirstAndEndsWithLast) {
  struct Case {
    const char* range;
    std::vector<double> times;
  };
  const std::vector<Case> cases = {
      {"{ first = 0.5, last = 2, step = 0.5 }", {0.5, 1, 1.5, 2}},
      {"{ first = 1, last = 10, step = 4 }", {1, 5, 9, 10}},
      {"{ first = 0.1, last = 0.3, step = 0.1 }", {0.1, 0.2, 0.3}},
      {"{ first = 7, last = 7, step = 1 }", {7}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(read(job_text(6, std::string("times = ") + c.range)).times, c.times) << c.range;
  }
  const std::vector<double> long_range = read(job_text(6, "times = { first = 5, last = 100, step = 2.5 }")).times;
  ASSERT_EQ(long_range.size(), 39u);
  EXPECT_EQ(long_range[37], 97.5);
  EXPECT_EQ(long_range[38], 100);
}

// Each bounded field of the job at the lowest and the highest value it
// accepts and the first it refuses on either side.
TEST(ReadFibJob, FieldBoundaries) {
  struct Row {
    int line;
    std::string text;
    bool accepted;
  };
  const Row rows[] = {
      {4, "simulations = 1", true},
      {4, "simulations = 0", false},
      {5, "seed = 0", true},
      {5, "seed = 2147483647", true},
      {5, "seed = -1", false},
      {5, "seed = 2147483648", false},
      {1, "target_beta = 7.999999", true},
      {1, "target_beta = -7.999999", true},
      {1, "target_beta = 8", false},
      {1, "target_beta = -8", false},
      {6, "times = { first = 1, last = 100000, step = 1 }", true},  // 100000 points
      {6, "times = { first = 1, last = 100001, step = 1 }", false},
      {6, "times = [1e-300]", true},
      {6, "times = [0]", false},
  };
  for (const Row& r : rows) {
    const std::string report = report_of([&] { read(job_text(r.line, r.text)); });
    EXPECT_EQ(report.empty(), r.accepted) << r.text << ": " << report;
  }
}

struct BadJob {
  const char* name;
  std::string text;
  std::string message;
  bool whole = true;  ///< false: `message` is how it begins (the rest is the library's or the sampler's wording)
};

class ReadFibJobError : public testing::TestWithParam<BadJob> {};

TEST_P(ReadFibJobError, NamesFileLineAndField) {
  const BadJob& c = GetParam();
  const std::string report = report_of([&] { read(c.text); });
  if (c.whole) {
    EXPECT_EQ(report, fatal_report(c.message, 0));
  } else {
    EXPECT_EQ(report.substr(0, c.message.size() + 8), "\nERROR:\n" + c.message) << report;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, ReadFibJobError,
    testing::ValuesIn(std::vector<BadJob>{
        {"EmptyFile", "", "pier.toml: title: missing; expected a title in quotes, on one line"},
        {"TitleOfTwoLines", job_text(2, "title = \"Pier\\nnorth\""),
         "pier.toml:2: title: expected a title in quotes, on one line, got \"Pier?north\""},
        {"SyntaxError", job_text(4, "simulations = "), "pier.toml:4: TOML syntax: ", false},
        {"IntegerBeyond64Bits", job_text(4, "simulations = 9223372036854775808"), "pier.toml:4: TOML syntax: ",
         false},
        {"UnknownModel", job_text(3, "model = \"classic\""), "pier.toml:3: model: expected \"fib\", got \"classic\""},
        {"TypoAtTopLevel", job_text(4, "simulation = 1000"),
         "pier.toml:4: simulation: unknown key; expected title, model, simulations, seed, times, target_beta, "
         "binder, exposure, sobol_simulations or a variable (a, dx, D_RCM0, alpha, be, T, Cs_dx, C0, Ccrit, kt)"},
        {"NoSimulations", job_text(4, "simulations = 0"),
         "pier.toml:4: simulations: expected an integer >= 1, got 0"},
        {"SimulationsNotInteger", job_text(4, "simulations = 1e5"),
         "pier.toml:4: simulations: expected an integer >= 1, got 1e+05"},
        {"SeedAbove32Bits", job_text(5, "seed = 2147483648"),
         "pier.toml:5: seed: expected an integer from 0 to 2147483647, got 2147483648"},
        {"TimesMissing", job_text(6, "#"),
         "pier.toml: times: missing; expected a list of years or { first, last, step }"},
        {"TimesEmpty", job_text(6, "times = []"),
         "pier.toml:6: times: expected at least one time in years, got an empty list"},
        {"TimesNotPositive", job_text(6, "times = [0, 10]"),
         "pier.toml:6: times: expected a time in years > 0, got 0"},
        {"TimesNotIncreasing", job_text(6, "times = [10, 50, 20]"),
         "pier.toml:6: times: expected a time above the one before it, 50, got 20"},
        {"TimesMixedTypes", job_text(6, "times = [10, \"20\"]"),
         "pier.toml:6: times: expected a time above the one before it, 10, got \"20\""},
        {"TimeNotANumber", job_text(6, "times = [10, nan]"),
         "pier.toml:6: times: expected a time above the one before it, 10, got nan"},
        {"RangeWithTooManyPoints", job_text(6, "times = { first = 1, last = 100, step = 1e-6 }"),
         "pier.toml:6: times.step: expected a step that gives at most 100000 time points, got 1e-06"},
        {"StepBelowTheSpacingOfDoubles",
         job_text(6, "times = { first = 1e17, last = 1.0000000000000064e17, step = 1 }"),
         "pier.toml:6: times.step: expected a step that separates the time points, got 1"},
        {"RangeBackwards", job_text(6, "times = { first = 10, last = 5, step = 1 }"),
         "pier.toml:6: times.last: expected a time >= first = 10, got 5"},
        {"RangeStepIsATable", job_text(6, "times = { first = 1, last = 5, step = { x = 1 } }"),
         "pier.toml:6: times.step: expected a step in years > 0, got a table"},
        {"TargetBetaInfinite", job_text(1, "target_beta = inf"),
         "pier.toml:1: target_beta: expected a number above -8 and below 8, got inf"},
        {"UnknownBinder", job_text(7, "binder = \"CEM II\""),
         "pier.toml:7: binder: expected \"CEM I\", \"fly ash\" or \"slag\", got \"CEM II\""},
        {"VariableMissing", job_text(9, "#"),
         "pier.toml: D_RCM0: missing; expected a table [D_RCM0] with its distribution"},
        {"AlphaWithoutBinder", job_text(7, "#"),
         "pier.toml: alpha: missing; expected a table [alpha] with its distribution, "
         "or binder = \"CEM I\", \"fly ash\" or \"slag\""},
        {"VariableNotATable", job_text(9, "D_RCM0 = 8.9"),
         "pier.toml:9: D_RCM0: expected a table [D_RCM0] with its distribution, got 8.9"},
        {"VariableAsArrayOfTables", job_text(13, "[[a]]"),
         "pier.toml:13: a: expected a table [a] with its distribution, got a list"},
        {"NestedTableInVariable", job_text(16, "sd = 8\n[a.extra]"),
         "pier.toml:17: a.extra: unknown key; expected distribution, mean, sd, lower, upper or value"},
        {"TypoInVariable", job_text(15, "men = 50"),
         "pier.toml:15: a.men: unknown key; expected distribution, mean, sd, lower, upper or value"},
        {"KeyOfAnotherDistribution", job_text(16, "value = 8"),
         "pier.toml:16: a.value: not a key of a normal distribution; expected mean and sd (lower and upper optional)"},
        {"UnknownDistribution", job_text(14, "distribution = \"gamma\""),
         "pier.toml:14: a.distribution: expected \"normal\", \"lognormal\", \"beta\", \"uniform\" or \"fixed\", "
         "got \"gamma\""},
        {"SdMissing", job_text(16, "#"),
         "pier.toml:13: a.sd: missing; expected the standard deviation of a normal distribution"},
        {"NegativeSd", job_text(16, "sd = -3"), "pier.toml:16: a.sd: expected a standard deviation >= 0, got -3"},
        {"MeanAsText", job_text(15, "mean = \"50\""), "pier.toml:15: a.mean: expected a number, got \"50\""},
        {"MeanAsList", job_text(15, "mean = [50, \"mm\"]"), "pier.toml:15: a.mean: expected a number, got a list"},
        {"MeanInfinite", job_text(15, "mean = -inf"), "pier.toml:15: a.mean: expected a number, got -inf"},
        {"LognormalMeanZero", job_text(9, "D_RCM0 = { distribution = \"lognormal\", mean = 0, sd = 1.8 }"),
         "pier.toml:9: D_RCM0.mean: expected a mean > 0 (a lognormal variable is positive), got 0"},
        {"BetaMeanOutsideBounds", job_text(19, "mean = 7"),
         "pier.toml:19: Cs_dx.mean: expected a mean between lower = 0 and upper = 6, got 7"},
        {"BetaSdTooLarge", job_text(20, "sd = 3"), "pier.toml:20: Cs_dx.sd: expected ", false},
        {"BetaSdZero", job_text(20, "sd = 0"), "pier.toml:20: Cs_dx.sd: expected ", false},
        {"BetaBoundsEqual", job_text(22, "upper = 0"),
         "pier.toml:22: Cs_dx.upper: expected an upper bound above lower = 0, got 0"},
        {"BoundsTooFarApart", job_text(10, "T = { distribution = \"uniform\", lower = -1e308, upper = 1e308 }"),
         "pier.toml:10: T.upper: expected an upper bound less than 1.7976931348623157e+308 above lower = "
         "-1e+308, got 1e+308"},
        {"CutBoundsReversed", job_text(16, "sd = 8\nlower = 60\nupper = 40"),
         "pier.toml:18: a.upper: expected an upper bound above lower = 60, got 40"},
        {"CutLognormalBelowZero", job_text(9, "D_RCM0 = { distribution = \"lognormal\", mean = 8.9, sd = 1.8, upper = -1 }"),
         "pier.toml:9: D_RCM0.upper: expected an upper bound > 0 (a lognormal variable is positive), got -1"},
        {"CutHoldingNothing", job_text(16, "sd = 8\nlower = 1e6"),
         "pier.toml:17: a.lower: expected lower and upper that hold some of the distribution (the share between them "
         "is below 1e-308), got 1e+06"},
        {"CutWithoutSpreadMissingTheMean", job_text(16, "sd = 0\nupper = 40"),
         "pier.toml:17: a.upper: expected a mean between lower = -inf and upper = 40 where sd is 0, got 40"},
    }),
    [](const testing::TestParamInfo<BadJob>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tbx
