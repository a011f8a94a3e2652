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

// With SOURCE_DATE_EPOCH the files repeat byte for byte; another date
// changes the date alone, not the run identifier.
TEST(SummaryRun, ProvenanceIsReproducibleWithSourceDateEpoch) {
  std::vector<std::string> json;
  std::vector<std::string> csv;
  for (const char* epoch : {"0", "0", "86400"}) {
    TempDir dir;
    write_file(dir / "job.dat", small_job(2000));
    RunOptions o = run_in(dir.path(), {"--summary", "job"});
    o.env = {std::string("SOURCE_DATE_EPOCH=") + epoch};
    ASSERT_EQ(run_program(o).exit_status, 0);
    json.push_back(read_file(dir / "job_summary.json"));
    csv.push_back(read_file(dir / "job_summary.csv"));
  }
  EXPECT_EQ(json[0], json[1]);
  EXPECT_EQ(csv[0], csv[1]);
  for (const char* key : {"\"program\": \"tbxrun ", "\"date\": \"1970-01-01T00:00:00Z\"", "\"seed\": 4242",
                          "\"job_file\": \"job.dat\"", "\"from\": \"given\""}) {
    EXPECT_NE(json[0].find(key), std::string::npos) << key;
  }
  auto replace = [](std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
    return text;
  };
  EXPECT_EQ(replace(json[2], "1970-01-02T", "1970-01-01T"), json[0]);
  EXPECT_EQ(replace(csv[2], "1970-01-02T", "1970-01-01T"), csv[0]);
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
