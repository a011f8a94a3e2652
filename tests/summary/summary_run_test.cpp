// tbxrun --summary as a user runs it: the reports and the console as
// without it, then the verdict; two more files; options that the job shows
// to be wrong.

#include <gtest/gtest.h>

#include "support/run_program.hpp"

namespace tbx::faults {
namespace {

RunResult run_with(const TempDir& dir, std::vector<std::string> args) {
  write_file(dir / "job.dat", small_job(2000));
  return run_program(run_in(dir.path(), std::move(args)));
}

TEST(SummaryRun, LeavesReportsAndConsoleAsWithoutIt) {
  TempDir plain;
  TempDir with;
  const RunResult a = run_with(plain, {"job"});
  const RunResult b = run_with(with, {"--summary", "--target-beta", "1.5", "job"});
  ASSERT_EQ(a.exit_status, 0) << a.describe();
  ASSERT_EQ(b.exit_status, 0) << b.describe();
  // The console as without it, then the verdict.
  EXPECT_EQ(b.out.substr(0, a.out.size()), a.out);
  EXPECT_EQ(b.out.substr(a.out.size()).rfind("\nVerdict: at 40 years the index is ", 0), 0u) << b.out;
  EXPECT_NE(b.out.find("not model uncertainty"), std::string::npos) << b.out;
  EXPECT_EQ(a.err, b.err);
  for (const char* name : {"job_rs.dat", "job_xls.dat"}) EXPECT_EQ(read_file(plain / name), read_file(with / name));
  EXPECT_EQ(entries(with.path()),
            (std::set<std::string>{"job.dat", "job_rs.dat", "job_xls.dat", "job_summary.csv", "job_summary.json"}));
  const std::string json = read_file(with / "job_summary.json");
  for (const char* key : {"\"time_points\"", "\"initiation\"", "\"quantiles\"", "\"censored_share\"", "\"histogram\"",
                          "\"service_life\"", "\"target_beta\": 1.5", "\"cornell_years\"", "\"importance\"",
                          "\"spearman\"", "\"design_cover\"", "\"mean_cover\"", "\"low_cover\"", "\"verdict\"",
                          "\"outcome\": \"passes\"", "\"program\"", "\"job_sha256\"", "\"seed\"", "\"inputs\""}) {
    EXPECT_NE(json.find(key), std::string::npos) << key;
  }
}

TEST(SummaryRun, RefusesADesignLifeOutsideTheSeriesBeforeRunning) {
  TempDir dir;
  const RunResult r = run_with(dir, {"--summary", "--design-life", "500", "job"});
  EXPECT_EQ(r.exit_status, 2) << r.describe();
  EXPECT_NE(r.err.find("--design-life"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Performing simulation"), std::string::npos);
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"job.dat"});
}

TEST(SummaryRun, AFileThatCannotBeWrittenIsARunErrorFoundBeforeRunning) {
  TempDir dir;
  fs::create_directory(dir / "job_summary.json");
  const RunResult r = run_with(dir, {"--summary", "job"});
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_NE(r.err.find("job_summary.json"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Performing simulation"), std::string::npos);
  EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"job.dat", "job_summary.json"}));
}

}  // namespace
}  // namespace tbx::faults
