// tbxrun --check on fib jobs: planted slips of unit and parameter, each named
// at its field with a fix; fixes that, applied, raise no further one.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "check/check_fib_job.hpp"
#include "check/fib_plausibility.hpp"
#include "core/fatal.hpp"
#include "support/captured_output.hpp"
#include "support/run_program.hpp"

namespace tbx {
namespace {

// Line numbers matter: findings name them.
const std::vector<std::string> CLEAN = {
    "title = \"pier\"",                                                   // 1
    "model = \"fib\"",                                                    // 2
    "simulations = 1000",                                                 // 3
    "seed = 7",                                                           // 4
    "times = [10, 50]",                                                   // 5
    "binder = \"CEM I\"",                                                 // 6
    "exposure = \"splash\"",                                              // 7
    "a = { distribution = \"normal\", mean = 55, sd = 8 }",               // 8
    "D_RCM0 = { distribution = \"normal\", mean = 10, sd = 2 }",          // 9
    "T = { distribution = \"normal\", mean = 15, sd = 5 }",               // 10
    "Cs_dx = { distribution = \"lognormal\", mean = 3, sd = 0.9 }",       // 11
    "C0 = { distribution = \"fixed\", value = 0.1 }",                     // 12
    "# room for one more variable",                                       // 13
};

struct Checked {
  int status;
  std::string text;
};

/// The clean job with lines replaced ({line, text}, 1-based), checked.
Checked check(const std::vector<std::pair<int, std::string>>& changes) {
  std::vector<std::string> lines = CLEAN;
  for (const auto& [line, text] : changes) lines[static_cast<std::size_t>(line - 1)] = text;
  std::string job;
  for (const std::string& line : lines) job += line + "\n";
  faults::TempDir dir;
  faults::write_file(dir / "job.toml", job);
  const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  test::CapturedOutput out;
  const int status = check_fib_job(fd, "job.toml", out.get());
  ::close(fd);
  return {status, out.text()};
}

TEST(CheckFibJob, CleanJobHasNoFindings) {
  const Checked r = check({});
  EXPECT_EQ(r.status, 0) << r.text;
  EXPECT_EQ(r.text.find("job.toml: no findings; presets: "), 0u) << r.text;
}

// A cut moves the mean of the draws: the clean line says by how much
// (closed forms, checked by hand).
TEST(CheckFibJob, CutVariablesAreNotedWithTheirMean) {
  for (const auto& [line, note] : std::vector<std::pair<std::string, std::string>>{
           {"Cs_dx = { distribution = \"normal\", mean = 3, sd = 2.25, lower = 0 }",
            "; Cs_dx normal(3, 2.25) cut to [0, inf] keeps 90.88 % of it: mean 3.406\n"},
           {"Cs_dx = { distribution = \"lognormal\", mean = 3, sd = 0.9, lower = 1, upper = 4 }",
            "; Cs_dx lognormal(3, 0.9) cut to [1, 4] keeps 86.99 % of it: mean 2.751\n"}}) {
    const Checked r = check({{11, line}});
    EXPECT_EQ(r.status, 0) << r.text;
    EXPECT_NE(r.text.find(note), std::string::npos) << r.text;
  }
}

// One slip each, named at its field and line, with the fix that undoes it.
TEST(CheckFibJob, EachPlantedSlipIsNamedAtItsField) {
  struct Case {
    int line;
    std::string text;
    std::string heading;  ///< "job.toml:LINE: warning: FIELD = VALUE"
    std::string detail;   ///< held by the problem or the fix
  };
  const std::vector<Case> cases = {
      {9, "D_RCM0 = { distribution = \"normal\", mean = 10.0e-12, sd = 2e-12 }", "job.toml:9: warning: D_RCM0.mean = 1e-11",
       "write 10, not 1e-11 (mean = 10, sd = 2)"},
      {10, "T = { distribution = \"normal\", mean = 288, sd = 5 }", "job.toml:10: warning: T.mean = 288",
       "288 K is 14.85 C: write mean = 14.85, sd = 5"},
      {8, "a = { distribution = \"normal\", mean = 5.5, sd = 0.8 }", "job.toml:8: warning: a.mean = 5.5",
       "5.5 cm is 55 mm: write mean = 55, sd = 8"},
      {8, "a = { distribution = \"normal\", mean = 0.055, sd = 0.008 }", "job.toml:8: warning: a.mean = 0.055",
       "0.055 m is 55 mm"},
      {8, "a = { distribution = \"normal\", mean = -5, sd = 8 }", "job.toml:8: warning: a.mean = -5",
       "expected: 10 to 200 mm"},
      {8, "a = { distribution = \"normal\", mean = -50, sd = 8 }", "job.toml:8: warning: a.mean = -50",
       "write 50 (mean = 50, sd = 8)"},
      {9, "D_RCM0 = { distribution = \"lognormal\", mean = 10, sd = 20 }", "job.toml:9: warning: D_RCM0.sd = 20",
       "200 % of the mean"},
      {11, "Cs_dx = { distribution = \"normal\", mean = 3, sd = 2.25 }", "job.toml:11: warning: Cs_dx.sd = 2.25",
       "9.121 % of the draws below zero"},
      {11, "Cs_dx = { distribution = \"lognormal\", mean = 0.05, sd = 0.29 }", "job.toml:11: warning: Cs_dx.mean = 0.05",
       "the mean and sd of ln(Cs_dx)"},
      {13, "alpha = { distribution = \"beta\", mean = 30, sd = 12, lower = 0, upper = 100 }",
       "job.toml:13: warning: alpha.mean = 30", "30 % is 0.3: write mean = 0.3, sd = 0.12, lower = 0, upper = 1"},
      {13, "be = { distribution = \"normal\", mean = 40, sd = 6 }", "job.toml:13: warning: be.mean = 40",
       "40 kJ/mol is 4811 K: write mean = 4811, sd = 721.7"},
      {13, "Ccrit = { distribution = \"fixed\", value = 3 }", "job.toml:13: warning: Ccrit.value = 3",
       "not below the content at dx"},
      {12, "C0 = { distribution = \"normal\", mean = 0.1, sd = 0.05 }", "job.toml:12: warning: C0.sd = 0.05",
       "cut the distribution at zero (lower = 0)"},
      {5, "times = [3650, 18250]", "job.toml: warning: times = 18250", "18250 days is 50 years"},
      {9, "D_RCM0 = { distribution = \"lognormal\", mean = -25.33, sd = 0.2 }",
       "job.toml:9: error: D_RCM0.mean: expected a mean > 0 (a lognormal variable is positive), got -25.33",
       "the unit is already 1e-12 m2/s: write 10.19, not 1.019e-11 (mean = 10.19, sd = 2.058)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Checked r = check({{c.line, c.text}});
    const bool error = c.heading.find(": error: ") != std::string::npos;
    EXPECT_EQ(r.status, error ? 1 : 3) << r.text;
    EXPECT_EQ(r.text.substr(0, r.text.find('\n')), c.heading) << r.text;
    EXPECT_NE(r.text.find(c.detail), std::string::npos) << r.text;
    EXPECT_NE(r.text.find(error ? ": 1 error, 0 warnings" : ": 0 errors, 1 warning"), std::string::npos) << r.text;
  }
}

TEST(CheckFibJob, AFileWithSeveralMistakesGivesAllOfThem) {
  const Checked r = check({{3, "simulations = 0"},
                           {6, "binder = \"CEM 1\""},
                           {8, "a = { distribution = \"normal\", mean = 5.5, sd = 0.8, men = 3 }"},
                           {9, "D_RCM0 = { distribution = \"normal\", mean = 10.0e-12, sd = -2e-12 }"},
                           {10, "T = { distribution = \"normal\", mean = 288, sd = 5 }"},
                           {11, "Cs_dx = { distribution = \"normal\", mean = 3, sd = 2.25 }"}});
  EXPECT_EQ(r.status, 1);
  std::vector<std::string> headings;
  for (std::size_t at = 0; at < r.text.size(); at = r.text.find('\n', at) + 1) {
    if (r.text.compare(at, 9, "job.toml:") == 0 && std::isdigit(static_cast<unsigned char>(r.text[at + 9]))) headings.push_back(r.text.substr(at, r.text.find('\n', at) - at));
  }
  // The missing alpha is not reported on top of its faulty binder; a's
  // typo leaves a unread, so no warning about its mean; D_RCM0's mean read
  // though its sd is refused.
  EXPECT_EQ(headings, (std::vector<std::string>{
                          "job.toml:3: error: simulations: expected an integer >= 1, got 0",
                          "job.toml:6: error: binder: expected \"CEM I\", \"fly ash\" or \"slag\", got \"CEM 1\"",
                          "job.toml:8: error: a.men: unknown key; expected distribution, mean, sd, lower, upper or value",
                          "job.toml:9: error: D_RCM0.sd: expected a standard deviation >= 0, got -2e-12",
                          "job.toml:9: warning: D_RCM0.mean = 1e-11",
                          "job.toml:10: warning: T.mean = 288",
                          "job.toml:11: warning: Cs_dx.sd = 2.25",
                      }))
      << r.text;
  EXPECT_NE(r.text.find("job.toml: 4 errors, 3 warnings\n"), std::string::npos) << r.text;
}

// On jobs with one character changed, the checker finds an error exactly
// when the run refuses the job, the same first one, and never stops short.
TEST(CheckFibJob, AgreesWithTheRunOnChangedJobs) {
  std::string whole;
  for (const std::string& line : CLEAN) whole += line + "\n";
  whole += "Cs_dx = { distribution = \"normal\", mean = 3, sd = 0.9, lower = 0, upper = 9 }\n";
  whole.replace(whole.find("Cs_dx"), 5, "Ccrit");
  const std::string replacements = "0123456789.-+e#=\"{},[] \nabnlu";
  std::uint32_t state = 4321;
  const auto next = [&state](std::size_t bound) {
    state = state * 1103515245u + 12345u;
    return static_cast<std::size_t>((state >> 8) % bound);
  };
  for (int k = 0; k < 3000; ++k) {
    std::string job = whole;
    job[next(job.size())] = replacements[next(replacements.size())];
    std::string refused;
    try {
      read_fib_job(job, "job.toml");
    } catch (const FatalError& e) {
      refused = e.message();
    }
    const FibJobDraft draft = read_fib_job_draft(job, "job.toml");
    ASSERT_EQ(draft.faults.empty(), refused.empty()) << job << refused;
    if (refused.empty()) continue;
    // The run's message is one of the checker's, the first in the file's
    // reading order.
    const FibJobFault& first = draft.faults.front();
    EXPECT_EQ(refused, (first.line > 0 ? "job.toml:" + std::to_string(first.line) : std::string("job.toml")) + ": " +
                           first.field + ": " + first.what)
        << job;
    CheckResult result;
    check_fib_plausibility(draft, result);
    for (const FibJobFault& fault : draft.faults) fib_fault_fix(fault);
  }
}

// Each proposed fix, applied, gives no further warning about the variable.
TEST(CheckFibJob, EveryProposedFixChecksClean) {
  const double inf = HUGE_VAL;
  struct Case {
    FibVariable variable;
    MomentDistribution d;
  };
  const std::vector<Case> cases = {
      {FIB_D_RCM0, {MomentKind::normal, 10e-12, 2e-12}},
      {FIB_D_RCM0, {MomentKind::lognormal, 10e-12, 2e-12}},
      {FIB_D_RCM0, {MomentKind::lognormal, 10, 40}},     // 400 %: CoV in % reads 0.4
      {FIB_T, {MomentKind::normal, 288, 5}},
      {FIB_T, {MomentKind::fixed, 291.15}},
      {FIB_A, {MomentKind::normal, 5.5, 0.8}},
      {FIB_A, {MomentKind::lognormal, 4.09, 0.13}},  // cm, or ln of mm
      {FIB_A, {MomentKind::normal, -50, 8}},
      {FIB_A, {MomentKind::normal, 2, 1.2}},  // cm, and then too wide: cut at 0 too
      {FIB_A, {MomentKind::uniform, 0, 0, 4, 7}},
      {FIB_CS_DX, {MomentKind::normal, 3, 2.25}},
      {FIB_CS_DX, {MomentKind::normal, 3, 2.25, -1, 10, true}},
      {FIB_CS_DX, {MomentKind::lognormal, 0.05, 0.29}},
      {FIB_C0, {MomentKind::normal, 0.1, 20}},  // 20 % as CoV, wide for a normal: cut at 0
      {FIB_CCRIT, {MomentKind::normal, 0.6, 0.3}},
      {FIB_ALPHA, {MomentKind::beta, 30, 12, 0, 100}},
      {FIB_BE, {MomentKind::normal, 40, 6}},
      {FIB_KT, {MomentKind::normal, 1, 0.5, -inf, inf, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(FIB_VARIABLES_INFO[c.variable].name) + " " + moment_kind_name(c.d.kind) + " " +
                 std::to_string(c.d.mean) + " " + std::to_string(c.d.sd));
    const std::vector<FibWarning> warnings = fib_variable_warnings(c.variable, c.d);
    ASSERT_FALSE(warnings.empty());
    for (const FibWarning& w : warnings) {
      ASSERT_FALSE(w.proposals.empty()) << w.problem << "\n" << w.fix;
      for (const MomentDistribution& p : w.proposals) {
        EXPECT_EQ(moment_distribution_problem(p), "");
        for (const FibWarning& again : fib_variable_warnings(c.variable, p)) {
          ADD_FAILURE() << w.fix << "\nthen: " << again.problem << "\n" << again.fix;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tbx
