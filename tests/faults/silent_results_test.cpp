// Jobs that once ran to exit status 0 with results that meant nothing: a
// clock seed on which the generator stands still, and a profile fit that
// found nothing and reported the input values as fitted.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tbx::faults
