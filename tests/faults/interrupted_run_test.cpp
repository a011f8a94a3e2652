// A run interrupted while it writes its reports, or whose folder is renamed
// under it: no temporary file is left, earlier or new reports are whole, and
// a signal ends the run with that signal's status.

#include <gtest/gtest.h>

#include "support/run_program.hpp"

namespace tbx::faults {
namespace {

// About 23 MB of results report: long enough to be caught while writing it.
constexpr long long LARGE_NSIM = 300000;
const std::string LOCK_FILE = ".job.tbxrun-lock";

TEST(InterruptedRun, SignalWhileWritingLeavesOnlyWholeReports) {
  const std::string job = small_job(LARGE_NSIM);
  std::string rs;
  {
    TempDir dir;
    write_file(dir / "job.dat", job);
    ASSERT_EQ(run_program(run_in(dir.path())).exit_status, 0);
    rs = read_file(dir / "job_rs.dat");
  }
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
    for (const int delay_ms : {0, 50}) {
      SCOPED_TRACE("signal " + std::to_string(signal_number) + " " + std::to_string(delay_ms) +
                   " ms into the report");
      TempDir dir;
      write_file(dir / "job.dat", job);
      Child child(run_in(dir.path()));
      ASSERT_TRUE(wait_for([&] {
        return child.has_ended() || writes_other_file_in(child.pid(), dir.path(), {"job.dat", LOCK_FILE});
      }));
      ::usleep(static_cast<useconds_t>(delay_ms) * 1000);
      ::kill(child.pid(), signal_number);
      const RunResult r = child.finish();
      EXPECT_TRUE(r.signal == signal_number || r.exit_status == 0) << r.describe();
      std::set<std::string> allowed{"job.dat", "job_rs.dat", "job_xls.dat"};
      // Only a run killed outright cannot remove its lock file.
      if (signal_number == SIGKILL) allowed.insert(LOCK_FILE);
      for (const auto& name : entries(dir.path())) {
        EXPECT_EQ(allowed.count(name), 1u) << "left " << name;
      }
      if (fs::exists(dir / "job_rs.dat")) {
        EXPECT_TRUE(read_file(dir / "job_rs.dat") == rs);
      }
    }
  }
}

// The reports go where the job file was read, under the folder's new name.
TEST(InterruptedRun, FolderRenamedDuringTheRun) {
  TempDir dir;
  fs::create_directory(dir / "a");
  write_file(dir / "a" / "job.dat", small_job(LARGE_NSIM));
  Child child(run_in(dir.path(), {"a/job"}));
  ASSERT_TRUE(wait_for([&] { return child.has_ended() || open_files_in(child.pid(), dir / "a").count("job.dat"); }));
  fs::rename(dir / "a", dir / "b");
  const RunResult r = child.finish();
  EXPECT_EQ(r.exit_status, 0) << r.describe();
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"b"});
  EXPECT_EQ(entries(dir / "b"), (std::set<std::string>{"job.dat", "job_rs.dat", "job_xls.dat"}));
}

}  // namespace
}  // namespace tbx::faults
