#include "input/validate.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "input/validation_rules.hpp"
#include "support/captured_output.hpp"
#include "support/fatal_report.hpp"
#include "support/jobs.hpp"
#include "prob/random.hpp"

namespace tbx {
namespace {

using namespace test::short_names;

using test::CapturedOutput;
using test::report_of;

/// A job that passes every rule: a series of 4 intervals from 10 to 50 years.
JobData valid_job() {
  JobData job = test::allocated_job();
  job.n_intervals = 4;
  for (int i = 1; i <= N_VARIABLES; ++i) job.dist_type[i] = D;
  job.dist_param[1][TIME] = 10.0;
  job.dist_param[2][TIME] = 50.0;
  for (int i = 1; i <= N_PROFILE; ++i) {
    job.profile_depth[i] = i;
    job.profile_cl[i] = 1.0;
  }
  job.nsim = 100;
  job.seed = 4711;
  return job;
}

struct RuleCase {
  const char* name;
  std::function<void(JobData&)> change;
  std::string message;  ///< "" : the job passes
  int line = 0;
  std::string output = "";
};

class Validation : public testing::TestWithParam<RuleCase> {};

TEST_P(Validation, FirstBrokenRuleEndsTheRun) {
  JobData job = valid_job();
  GetParam().change(job);
  CapturedOutput out;
  const std::string report = report_of([&] { validate_job(job, out.get()); });
  EXPECT_EQ(report,
            GetParam().message.empty() ? "" : fatal_report(GetParam().message, GetParam().line));
  EXPECT_EQ(out.text(), GetParam().output);
}

void fit(JobData& job, int n_points) {
  job.analysis_mode = 2;
  job.n_points = n_points;
}

void times(JobData& job, int n_intervals, double tmin, double tmax) {
  job.n_intervals = n_intervals;
  job.dist_param[1][TIME] = tmin;
  job.dist_param[2][TIME] = tmax;
}

const char* const ANALYSIS = "Error: Diffusion coefficient parameter invalid.";
const char* const DEPTH_ORDER = "Error: Profile depth values must decrease in order";
const char* const AGE = "Error: Invalid age for profile prediction";

// One case per rule, and one per pair of rules whose order matters.
INSTANTIATE_TEST_SUITE_P(
    Rules, Validation,
    testing::ValuesIn(std::vector<RuleCase>{
        {"ValidSeries", [](JobData&) {}, ""},
        {"AnalysisMode3", [](JobData& j) { j.analysis_mode = 3; }, ANALYSIS},
        {"SeedMode2", [](JobData& j) { j.seed_mode = 2; }, "Error: Intial seed parameter invalid."},
        {"IntervalsZeroBeforeTheLaterRules",
         [](JobData& j) {
           j.n_intervals = 0;
           j.n_points = 40;
           j.dist_code[1] = 5;
           j.nsim = -1;
         },
         "Error: Time serious must be greater or equal to 1"},
        {"FivePointsPass", [](JobData& j) { fit(j, 5); }, ""},
        {"TwelvePointsPass", [](JobData& j) { fit(j, 12); }, ""},
        {"FourPoints", [](JobData& j) { fit(j, 4); }, "Error: Minimum profile data invalid."},
        {"ThirteenPoints", [](JobData& j) { fit(j, 13); }, "Error: Maximum profile data invalid."},
        {"PointsWithoutFit", [](JobData& j) { j.n_points = 1; },
         "Error: Profile data must be null.", 2},
        {"NegativePointsWithoutFitPass", [](JobData& j) { j.n_points = -3; }, ""},
        {"TypeThreeOfLastVariable", [](JobData& j) { j.dist_code[9] = 3; },
         "Error: Invalid distribution type"},
        {"ZeroAndEqualProfileValuesPass",
         [](JobData& j) {
           fit(j, 5);
           j.profile_depth[1] = j.profile_depth[2] = j.profile_cl[3] = 0;
         },
         ""},
        {"NegativeDepthBeforeOrderOfTheSamePoint",
         [](JobData& j) {
           fit(j, 5);
           j.profile_depth[1] = -1;
           j.profile_depth[2] = -2;
         },
         "Error: Profile depth values must be positive"},
        {"NegativeChlorideBeforeOrderOfTheSamePoint",
         [](JobData& j) {
           fit(j, 5);
           j.profile_cl[2] = -0.1;
           j.profile_depth[3] = 0;
         },
         "Error: Profile [Cl] values must be positive"},
        {"OrderAtPoint1BeforeNegativeChlorideAtPoint3",
         [](JobData& j) {
           fit(j, 5);
           j.profile_depth[2] = 0.5;
           j.profile_cl[3] = -1;
         },
         DEPTH_ORDER},
        {"PointsBeyondNPointsIgnored",
         [](JobData& j) {
           fit(j, 5);
           j.profile_depth[6] = -1;
           j.profile_cl[7] = -1;
         },
         ""},
        {"ZeroSimulationsPass", [](JobData& j) { j.nsim = 0; }, ""},
        {"NegativeSimulations", [](JobData& j) { j.nsim = -1; },
         "Error: Number of simulations must be positive"},
        {"SinglePointPasses", [](JobData& j) { times(j, 1, 1.0, 0.0); }, ""},
        {"SinglePointBelowOneYear", [](JobData& j) { times(j, 1, 0.5, 0.0); },
         "Error: First time parameter must be greater or equal to 1"},
        {"SinglePointWithSecondParameter", [](JobData& j) { times(j, 1, 10.0, 5.0); },
         "Error: Second time parameter must be equal to 0"},
        {"ReversedSeries", [](JobData& j) { times(j, 4, 50.0, 10.0); },
         "Error: Maximum time must be greater than minimum", 0, "tou aqui!\n"},
        {"SeriesOfEqualEndsPasses", [](JobData& j) { times(j, 4, 10.0, 10.0); }, ""},
        {"SeriesWithoutEnd", [](JobData& j) { times(j, 4, 10.0, 0.0); },
         "Error: Time series parameter must be equal to 1"},
        {"SeriesWithNegativeEndPasses", [](JobData& j) { times(j, 4, 10.0, -5.0); }, ""},
        {"PredictionAtAgeZero",
         [](JobData& j) {
           j.predict_profile = 1;
           j.tp = 0;
         },
         AGE},
        {"NoPredictionAtAgeZeroPasses",
         [](JobData& j) {
           j.predict_profile = 2;
           j.tp = 0;
         },
         ""},
        {"StuckSeed", [](JobData& j) { j.seed = SEED_MASK; },
         "Error: Initial seed gives a constant random sequence"},
        {"StuckSeedAfterEveryOtherRule",
         [](JobData& j) {
           j.seed = SEED_MASK;
           j.predict_profile = 1;
         },
         AGE},
        {"StuckSeedIgnoredWithClockSeed",
         [](JobData& j) {
           j.seed = SEED_MASK;
           j.seed_mode = 1;
         },
         ""},
    }),
    [](const auto& info) { return std::string(info.param.name); });

// The checker walks the same rules to the end: every broken rule, in the
// run's order, with the value at fault; a walk past rules the run would
// have stopped at must not look beyond the twelve profile points.
TEST(ValidationRules, WalkToTheEndNamesEveryValueAtFault) {
  struct WalkCase {
    std::function<void(JobData&)> change;
    std::vector<std::string> found;  ///< "message | field index"
  };
  const std::vector<WalkCase> cases = {
      {[](JobData& j) {
         j.analysis_mode = 3;
         j.n_points = 40;
         j.dist_code[1] = 5;
         j.dist_code[9] = 3;
         j.nsim = -1;
         times(j, 4, 50.0, 10.0);
         j.predict_profile = 1;
       },
       {"Error: Diffusion coefficient parameter invalid. | 2 1", "Error: Profile data must be null. | 4 1",
        "Error: Invalid distribution type | 6 1", "Error: Invalid distribution type | 6 9",
        "Error: Number of simulations must be positive | 11 1",
        "Error: Maximum time must be greater than minimum | 8 6", "Error: Invalid age for profile prediction | 13 1"}},
      {[](JobData& j) {
         fit(j, 13);
         j.profile_depth[3] = 0.5;
         j.profile_cl[12] = -1;
       },
       {"Error: Maximum profile data invalid. | 4 1", "Error: Profile depth values must decrease in order | 9 3",
        "Error: Profile [Cl] values must be positive | 10 12"}},
  };
  for (const WalkCase& c : cases) {
    JobData job = valid_job();
    c.change(job);
    std::vector<std::string> found;
    for_each_violation(job, [&](const Violation& v) {
      found.push_back(std::string(v.message) + " | " + std::to_string(static_cast<int>(v.field)) + " " +
                      std::to_string(v.index));
    });
    EXPECT_EQ(found, c.found);
  }
}

}  // namespace
}  // namespace tbx
