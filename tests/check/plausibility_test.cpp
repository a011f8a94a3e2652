#include "check/plausibility.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/jobs.hpp"
#include "support/run_program.hpp"
#include "support/text_stream.hpp"

namespace tbx {
namespace {

/// The clean job as the reader leaves it.
JobData clean_job(ReadTrace& trace) {
  test::TextStream in(faults::read_file(TBX_TEST_DATA_DIR "/../check/data/clean.dat"));
  JobData job;
  alloc_job_arrays(job);
  int line_no = 1;
  read_job(in.get(), line_no, job, &trace);
  return job;
}

using namespace test::short_names;

void set(JobData& j, int variable, Distribution type, double a, double b) {
  j.dist_type[variable] = type;
  j.dist_code[variable] = static_cast<std::int32_t>(type);
  j.dist_param[1][variable] = a;
  j.dist_param[2][variable] = b;
}

// Each threshold of the manual page, just inside and just outside.
TEST(Plausibility, ThresholdsAsDocumented) {
  struct Case {
    const char* name;
    std::function<void(JobData&)> change;
    std::string warning;  ///< "" : no warning
  };
  const std::vector<Case> cases = {
      {"CoverAtTheEnds", [](JobData& j) { set(j, XC, D, 10, 0); }, ""},
      {"CoverBelow", [](JobData& j) { set(j, XC, D, 9.9, 0); }, "outside the plausible range"},
      {"CoverAbove", [](JobData& j) { set(j, XC, D, 200.1, 0); }, "outside the plausible range"},
      {"DcoefSmall", [](JobData& j) { set(j, DCOEF, D, 0.01, 0); }, ""},
      {"DcoefLarge", [](JobData& j) { set(j, DCOEF, D, 100.5, 0); }, "outside the plausible range"},
      {"NJustBelowOne", [](JobData& j) { set(j, AGE_N, D, 0.999, 0); }, ""},
      {"NOne", [](JobData& j) { set(j, AGE_N, D, 1.0, 0); }, "outside the plausible range"},
      {"TemperatureHot", [](JobData& j) { set(j, TEMP, D, 60, 0); }, ""},
      {"TemperatureTooHot", [](JobData& j) { set(j, TEMP, D, 60.5, 0); }, "outside the plausible range"},
      {"TemperatureTooCold", [](JobData& j) { set(j, TEMP, D, -30.5, 0); }, "outside the plausible range"},
      {"AgeOfAHundredYears", [](JobData& j) { set(j, TE, D, 36500, 0); }, ""},
      {"AgeBelowADay", [](JobData& j) { set(j, TO, D, 0.5, 0); }, "outside the plausible range"},
      {"LastTimeAbove200", [](JobData& j) { j.dist_param[2][TIME] = 250; }, "the last time is outside"},
      {"CovOfOneHalf", [](JobData& j) { set(j, CS, N, 3.0, 1.5); }, ""},
      {"CovAboveOneHalf", [](JobData& j) { set(j, CS, N, 3.0, 1.51); }, "coefficient of variation 0.5033 above 0.5"},
      {"LargeCovOfTemperatureIsFine", [](JobData& j) { set(j, TEMP, N, 5, 10); }, ""},
      {"ZeroSd", [](JobData& j) { set(j, XC, N, 60, 0); }, "a standard deviation of 0 or below"},
      {"LognormalAtLnOfTheMaximum", [](JobData& j) { set(j, CCR, LN, -1.0, 0.2); }, ""},
      {"LognormalAboveLnOfTheMaximum", [](JobData& j) { set(j, XC, LN, 5.4, 0.1); }, "look like a mean and a standard"},
      {"BetaShapesSummingToOne", [](JobData& j) { set(j, AGE_N, B, 0.5, 0.5); }, ""},
      {"BetaShapesBelowOne", [](JobData& j) { set(j, AGE_N, B, 0.5, 0.4); }, "look like a mean and a standard"},
      {"BetaShapeZero", [](JobData& j) { set(j, AGE_N, B, 0, 2); }, "a beta shape of 0 or below"},
      {"CcrEqualToCs", [](JobData& j) { set(j, CCR, D, 3.0, 0); }, "is not below the surface content"},
      {"SeriesFromOneByWholeYears", [](JobData& j) { j.dist_param[1][TIME] = 1; }, ""},
      {"SeriesFromZeroByOneYear", [](JobData& j) { j.dist_param[2][TIME] = 10; }, "both fall on year 1"},
      {"FitReplacesDcoefAndCs",
       [](JobData& j) {
         j.analysis_mode = 2;
         set(j, DCOEF, D, 0, 0);
         set(j, CS, D, 0, 0);
       },
       ""},
  };
  for (const Case& c : cases) {
    ReadTrace trace;
    JobData job = clean_job(trace);
    c.change(job);
    CheckResult result;
    check_plausibility(job, trace, result);
    if (c.warning.empty()) {
      EXPECT_TRUE(result.findings.empty()) << c.name << ": " << result.findings.front().problem;
    } else {
      ASSERT_EQ(result.findings.size(), 1u) << c.name;
      EXPECT_NE(result.findings[0].problem.find(c.warning), std::string::npos)
          << c.name << ": " << result.findings[0].problem;
      EXPECT_GT(result.findings[0].line, 0) << c.name;
    }
  }
}

// A unit slip's fix names both parameters; written as proposed, the job
// checks clean (lognormal Dcoef -25.33 once gave "write 10.18", and that
// written, a CoV of 0.02).
TEST(Plausibility, UnitFixesCheckCleanOnceWritten) {
  struct Case {
    int variable;
    Distribution type;
    double a, b;
    std::string fix;          ///< held by the fix
    double fixed_a, fixed_b;  ///< as the fix proposes them
  };
  const std::vector<Case> cases = {
      {DCOEF, LN, -25.33, 0.2, "first parameter 2.301, not -25.33, and the second unchanged, 0.2", 2.301, 0.2},
      {DCOEF, N, 4e-12, 1e-12, "write 4, not 4e-12; and the second parameter 1, not 1e-12", 4, 1},
      {XC, N, 6, 0.8, "6 cm is 60 mm; and the second parameter 8, not 0.8", 60, 8},
      {TEMP, N, 288, 5, "288 K is 14.85 C", 14.85, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fix);
    ReadTrace trace;
    JobData job = clean_job(trace);
    set(job, c.variable, c.type, c.a, c.b);
    CheckResult result;
    check_plausibility(job, trace, result);
    ASSERT_EQ(result.findings.size(), 1u);
    EXPECT_NE(result.findings[0].fix.find(c.fix), std::string::npos) << result.findings[0].fix;
    set(job, c.variable, c.type, c.fixed_a, c.fixed_b);
    CheckResult again;
    check_plausibility(job, trace, again);
    EXPECT_TRUE(again.findings.empty()) << again.findings.front().fix;
  }
}

}  // namespace
}  // namespace tbx
