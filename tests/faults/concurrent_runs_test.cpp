// Runs at the same time: a second run of a job waits for the first, so that
// both reports always come from one run; runs of different jobs do not wait.

#include <gtest/gtest.h>

#include "support/run_program.hpp"

namespace tbx::faults {
namespace {

constexpr long long LARGE_NSIM = 300000;

std::string with_seed(std::string job, const std::string& seed) {
  const std::string field = "4242 ;";
  return job.replace(job.find(field), field.size(), seed + " ;");
}

bool has_job_open(const Child& child, const fs::path& dir, const std::string& job_file) {
  return child.has_ended() || open_files_in(child.pid(), dir).count(job_file) > 0;
}

// The job is edited (replaced, as editors save) while its first run is busy,
// and started again: the second run waits, then both reports are its own.
TEST(ConcurrentRuns, SecondRunOfAJobWaitsForTheFirst) {
  const std::string edited = with_seed(small_job(LARGE_NSIM), "777");
  std::string rs;
  std::string xls;
  {
    TempDir dir;
    write_file(dir / "job.dat", edited);
    ASSERT_EQ(run_program(run_in(dir.path())).exit_status, 0);
    rs = read_file(dir / "job_rs.dat");
    xls = read_file(dir / "job_xls.dat");
  }
  TempDir dir;
  write_file(dir / "job.dat", small_job(LARGE_NSIM));
  Child first(run_in(dir.path()));
  ASSERT_TRUE(wait_for([&] { return has_job_open(first, dir.path(), "job.dat"); }));
  const std::string holder = "(process " + std::to_string(first.pid()) + ")";
  // Told not to wait, a run ends at once, names the holder and leaves the
  // folder to it.
  const RunResult busy = run_program(run_in(dir.path(), {"--no-wait", "job"}));
  EXPECT_EQ(busy.exit_status, 75) << busy.describe();
  EXPECT_EQ(busy.err, "\nERROR:\nAnother run of job " + holder + " holds the job; not waiting (--no-wait)\n\n");
  EXPECT_FALSE(first.has_ended()) << "the first run ended first: no proof of not waiting";
  write_file(dir / "new.dat", edited);
  fs::rename(dir / "new.dat", dir / "job.dat");
  const RunResult second = run_program(run_in(dir.path()));
  const RunResult r = first.finish();

  EXPECT_EQ(r.exit_status, 0) << r.describe();
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(second.exit_status, 0) << second.describe();
  EXPECT_EQ(second.err, "Waiting for another run of job " + holder + "\n");
  EXPECT_TRUE(read_file(dir / "job_rs.dat") == rs) << "results report not from the second run";
  EXPECT_TRUE(read_file(dir / "job_xls.dat") == xls) << "spreadsheet file not from the second run";
  EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"job.dat", "job_rs.dat", "job_xls.dat"}));
}

TEST(ConcurrentRuns, DifferentJobsInOneFolderDoNotWait) {
  TempDir dir;
  write_file(dir / "big.dat", small_job(LARGE_NSIM));
  write_file(dir / "small.dat", small_job());
  Child big(run_in(dir.path(), {"big"}));
  ASSERT_TRUE(wait_for([&] { return has_job_open(big, dir.path(), "big.dat"); }));
  const RunResult small = run_program(run_in(dir.path(), {"small"}));
  EXPECT_FALSE(big.has_ended()) << "the large job ended first: no proof of not waiting";
  EXPECT_EQ(small.exit_status, 0) << small.describe();
  EXPECT_EQ(small.err, "");
  EXPECT_EQ(big.finish().exit_status, 0);
}

}  // namespace
}  // namespace tbx::faults
