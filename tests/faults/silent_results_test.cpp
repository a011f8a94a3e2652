// Jobs that once ran to exit status 0 with results that meant nothing: a
// clock seed on which the generator stands still, a profile fit that found
// nothing and reported the input values as fitted, a limit state without
// scatter whose rounding gave an index of -5e13 and importance shares, too
// few simulations for the design cover, and beta variables whose draws took
// half a second each.

#include <gtest/gtest.h>

#include <cctype>

#include "support/run_program.hpp"

namespace tbx::faults {
namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  if (at == std::string::npos) throw std::runtime_error("no '" + from + "' in the job");
  return text.replace(at, from.size(), to);
}

std::optional<std::string> libfaketime() {
  for (const char* p : {"/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1",
                        "/usr/lib/aarch64-linux-gnu/faketime/libfaketime.so.1",
                        "/usr/lib/faketime/libfaketime.so.1"}) {
    if (fs::exists(p)) return p;
  }
  return std::nullopt;
}

// At 2034-02-20 04:49:31 UTC the clock in seconds, 2024023771, is a seed that
// makes the generator return 0 for ever; the second after it is used.
TEST(SilentResults, StuckClockSeedMovesToTheNextSecond) {
  const auto lib = libfaketime();
  if (!lib) GTEST_SKIP() << "libfaketime is not installed";
  TempDir dir;
  write_file(dir / "job.dat", replaced(small_job(), "0 ;     # seed mode", "1 ;     # seed mode"));
  RunOptions o = run_in(dir.path());
  o.env = {"LD_PRELOAD=" + *lib, "TZ=UTC", "FAKETIME=2034-02-20 04:49:31", "FAKETIME_DONT_FAKE_MONOTONIC=1"};
  const RunResult r = run_program(o);
  ASSERT_EQ(r.exit_status, 0) << r.describe();
  const std::string rs = read_file(dir / "job_rs.dat");
  EXPECT_NE(rs.find("  Initial seed: i = 2024023772 \n"), std::string::npos) << rs.substr(0, 1500);
}

TEST(SilentResults, ProfileFitThatFindsNothingEndsTheRun) {
  const struct {
    const char* what;
    std::string job;
    std::string message;
  } cases[] = {
      {"a content typed 1.5e5", replaced(small_job(), "0.517", "1.5e5"),
       "Profile fit failed - no trial fits the measured profile"},
      {"age at testing 0", replaced(small_job(), "1825", "0"),
       "Profile fit failed - age at testing must be positive"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file(dir / "job.dat", c.job);
    const RunResult r = run_program(run_in(dir.path()));
    EXPECT_EQ(r.exit_status, 1) << r.describe();
    EXPECT_EQ(r.err, error_report(c.message));
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"job.dat"});
  }
}

/// A fib job: the cover a fixed 10 mm inside a fixed convection zone of
/// 20 mm, so that G = Ccrit - Cs_dx for every simulation, the other
/// variables random or not.
std::string fib_job(std::int64_t simulations, const std::string& more) {
  return "title = \"t\"\nmodel = \"fib\"\nsimulations = " + std::to_string(simulations) +
         "\nseed = 3\ntimes = [1, 10, 50]\n"
         "a = { distribution = \"fixed\", value = 10 }\n"
         "dx = { distribution = \"fixed\", value = 20 }\n"
         "D_RCM0 = { distribution = \"normal\", mean = 3, sd = 0.6 }\n"
         "T = { distribution = \"normal\", mean = 15, sd = 2 }\n"
         "C0 = { distribution = \"fixed\", value = 0 }\n"
         "alpha = { distribution = \"fixed\", value = 0.45 }\n" +
         more;
}

const std::string FIXED_LOADS =
    "Cs_dx = { distribution = \"fixed\", value = 3 }\nCcrit = { distribution = \"fixed\", value = 0.6 }\n";

/// What no report may hold: a spelling of a non-finite number, or a number
/// of more digits than any column has room for.
void expect_plain_numbers(const std::string& report) {
  std::string lower(report);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto letter = [&](std::size_t i) { return i < lower.size() && std::isalpha(static_cast<unsigned char>(lower[i])); };
  for (const char* word : {"inf", "nan"}) {
    for (std::size_t at = lower.find(word); at != std::string::npos; at = lower.find(word, at + 1)) {
      EXPECT_TRUE((at > 0 && letter(at - 1)) || letter(at + 3)) << word << " in\n" << report;
    }
  }
  std::size_t digits = 0;
  for (const char c : report) {
    digits = std::isdigit(static_cast<unsigned char>(c)) ? digits + 1 : 0;
    ASSERT_LT(digits, 16u) << report;
  }
}

TEST(SilentResults, LimitStateWithoutScatterGivesNoIndexAndNoShares) {
  TempDir dir;
  write_file(dir / "job.toml", fib_job(1000, FIXED_LOADS));
  const RunResult r = run_program(run_in(dir.path()));
  ASSERT_EQ(r.exit_status, 0) << r.describe();
  const std::string report = read_file(dir / "job_report.txt");
  expect_plain_numbers(report);
  EXPECT_NE(report.find("      1.00       1000  100.0000     99.6318     100.0000     none      none     -2.680"
                        "           none\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("Not computed: G does not vary at the design life"), std::string::npos) << report;
  const std::string json = read_file(dir / "job_summary.json");
  EXPECT_NE(json.find("\"beta_cornell\": null"), std::string::npos) << json;
  EXPECT_NE(json.find("beta_cornell: G does not vary at this time"), std::string::npos) << json;
  EXPECT_EQ(json.find("\"share\""), std::string::npos) << json;
}

TEST(SilentResults, TooFewSimulationsLeaveTheDesignCoverAndTheLifeOut) {
  // One simulation once gave a design cover of 27.8 to 69.1 mm by the seed,
  // an "estimate" of the service life with no interval and no reason.
  const std::string loads =
      "Cs_dx = { distribution = \"lognormal\", mean = 3, sd = 0.6 }\n"
      "[a]\ndistribution = \"normal\"\nmean = 40\nsd = 8\n";
  for (const std::int64_t n : {1, 36}) {
    SCOPED_TRACE(n);
    TempDir dir;
    write_file(dir / "job.toml", replaced(fib_job(n, loads), "a = { distribution = \"fixed\", value = 10 }\n", ""));
    RunResult r = run_program(run_in(dir.path()));
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    const std::string report = read_file(dir / "job_report.txt");
    expect_plain_numbers(report);
    EXPECT_NE(report.find("Not computed: too few simulations: " + std::to_string(n) +
                          " where the quantile at Pf = 9.68 % needs at least 37"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("not defined: too few simulations"), std::string::npos) << report;
    const std::string json = read_file(dir / "job_summary.json");
    EXPECT_NE(json.find("\"years\": null,\n    \"low\": null,\n    \"high\": null,\n    \"kind\": \"undefined\",\n"
                        "    \"definition\""),
              std::string::npos)
        << json;

    r = run_program(run_in(dir.path(), {"--check", "job"}));
    EXPECT_EQ(r.exit_status, 3) << r.describe();
    EXPECT_TRUE(begins_with(r.out, "job.toml: warning: simulations = " + std::to_string(n) +
                                       "\n    too few simulations for the design cover and the service-life interval"))
        << r.out;
  }
  TempDir dir;
  write_file(dir / "job.dat", small_job(36));
  const RunResult r = run_program(run_in(dir.path(), {"--check", "job"}));
  EXPECT_EQ(r.exit_status, 3) << r.describe();
  EXPECT_NE(r.out.find("warning: simulations per time point = 36\n    too few simulations"), std::string::npos) << r.out;
}

TEST(SilentResults, BetaVariablesAreRefusedOrDrawnQuickly) {
  // sd 1e-100 on [0.2, 2] took 0.2 s a draw and landed on the upper bound;
  // bounds of +-8e307 overflowed the shapes.
  const auto ccrit = [](const std::string& sd, const std::string& bound) {
    return FIXED_LOADS.substr(0, FIXED_LOADS.find("Ccrit")) + "Ccrit = { distribution = \"beta\", mean = 0.6, sd = " +
           sd + ", lower = -" + bound + ", upper = " + bound + " }\n";
  };
  const struct {
    std::string more;
    const char* message;  ///< empty: the run succeeds
  } cases[] = {
      {ccrit("1e-100", "2"), "job.toml:13: Ccrit.sd: expected sd at least (upper - lower) / 1e6 = 4e-06"},
      {ccrit("0.15", "8e307"), "job.toml:13: Ccrit.sd: expected sd at least (upper - lower) / 1e6 = 1.6e+302"},
      {ccrit("2e307", "8e307"), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.more);
    TempDir dir;
    write_file(dir / "job.toml", fib_job(200, c.more));
    RunOptions o = run_in(dir.path());
    o.timeout_seconds = 20;
    const RunResult r = run_program(o);
    if (*c.message != 0) {
      EXPECT_EQ(r.exit_status, 1) << r.describe();
      EXPECT_TRUE(begins_with(r.err, "\nERROR:\n" + std::string(c.message))) << r.err;
    } else {
      EXPECT_EQ(r.exit_status, 0) << r.describe();
      expect_plain_numbers(read_file(dir / "job_report.txt"));
    }
  }
}

}  // namespace
}  // namespace tbx::faults
