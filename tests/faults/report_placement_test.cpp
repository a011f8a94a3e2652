// Where a report lands and what it inherits: a report replacing an earlier
// one keeps its mode and owner; a report name that is a symbolic link is
// written through it; a report that cannot be written fails before the
// simulation.

#include <gtest/gtest.h>

#include "support/run_program.hpp"

namespace tbx::faults {
namespace {

constexpr uid_t NOBODY = 65534;

TEST(ReportPlacement, ReplacedReportsKeepModeAndOwner) {
  TempDir dir;
  write_file(dir / "job.dat", small_job());
  const struct {
    const char* name;
    mode_t mode;
  } reports[] = {{"job_rs.dat", 0640}, {"job_xls.dat", 0604}};
  const bool root = ::geteuid() == 0;
  for (const auto& report : reports) {
    write_file(dir / report.name, "an earlier report\n");
    ASSERT_EQ(::chmod((dir / report.name).c_str(), report.mode), 0);
    if (root) {
      ASSERT_EQ(::chown((dir / report.name).c_str(), NOBODY, NOBODY), 0);
    }
  }
  const RunResult r = run_program(run_in(dir.path()));
  ASSERT_EQ(r.exit_status, 0) << r.describe();
  for (const auto& report : reports) {
    struct stat st {};
    ASSERT_EQ(::stat((dir / report.name).c_str(), &st), 0);
    EXPECT_NE(read_file(dir / report.name), "an earlier report\n");
    EXPECT_EQ(st.st_mode & 07777, report.mode) << report.name;
    if (root) {
      EXPECT_EQ(st.st_uid, NOBODY) << report.name;
      EXPECT_EQ(st.st_gid, NOBODY) << report.name;
    }
  }
}

// Each case: where the link points, relative to the job's folder, and
// whether the target exists beforehand.
TEST(ReportPlacement, ReportNamesThatAreLinksAreWrittenThrough) {
  std::string rs;
  {
    TempDir dir;
    write_file(dir / "job.dat", small_job());
    ASSERT_EQ(run_program(run_in(dir.path())).exit_status, 0);
    rs = read_file(dir / "job_rs.dat");
  }
  const struct {
    const char* target;
    bool exists;
  } cases[] = {{"store/kept_rs.dat", true}, {"store/kept_rs.dat", false}, {"kept_rs.dat", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.target) + (c.exists ? "" : ", dangling"));
    TempDir dir;
    write_file(dir / "job.dat", small_job());
    fs::create_directory(dir / "store");
    if (c.exists) write_file(dir / c.target, "an earlier report\n");
    fs::create_symlink(c.target, dir / "job_rs.dat");
    const RunResult r = run_program(run_in(dir.path()));
    EXPECT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_TRUE(fs::is_symlink(dir / "job_rs.dat"));
    EXPECT_TRUE(read_file(dir / c.target) == rs);
    std::set<std::string> names = entries(dir.path());
    for (const auto& name : entries(dir / "store")) names.insert("store/" + name);
    std::set<std::string> expected{"job.dat", "job_rs.dat", "job_xls.dat", "store", c.target};
    EXPECT_EQ(names, expected);
  }
}

TEST(ReportPlacement, UnwritableReportFailsBeforeTheSimulation) {
  TempDir dir;
  write_file(dir / "job.dat", small_job());
  fs::create_symlink("no/such/folder/job_rs.dat", dir / "job_rs.dat");
  const RunResult r = run_program(run_in(dir.path()));
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_EQ(r.err, error_report("Unable to open output file - jobname_rs.dat"));
  EXPECT_EQ(r.out.find("Simulation cycle number"), std::string::npos);
  EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"job.dat", "job_rs.dat"}));
}

}  // namespace
}  // namespace tbx::faults
