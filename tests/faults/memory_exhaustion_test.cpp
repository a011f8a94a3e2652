// Running out of memory, anywhere in a run, ends it with "Memory allocation
// failed" and exit status 1, or the run completes: never a crash, an abort
// from an exception nobody catches, or a report left half-written.

#include <gtest/gtest.h>

#include "support/run_program.hpp"

namespace tbx::faults {
namespace {

// The report's first line; a run refused before it starts adds the amounts.
const std::string OUT_OF_MEMORY = "\nERROR:\nMemory allocation failed\n";
bool out_of_memory(const std::string& err) { return err.compare(0, OUT_OF_MEMORY.size(), OUT_OF_MEMORY) == 0; }
constexpr rlim_t MEBIBYTE = 1 << 20;

#define SKIP_UNDER_ADDRESS_SANITIZER()                                     \
  if (UNDER_ADDRESS_SANITIZER) {                                          \
    GTEST_SKIP() << "address space limits do not work with ASan";         \
  }

TEST(MemoryExhaustion, HugeNsimUnderAddressSpaceLimit) {
  SKIP_UNDER_ADDRESS_SANITIZER();
  TempDir dir;
  write_file(dir / "job.dat", small_job(2000000000));
  RunOptions o = run_in(dir.path());
  o.address_space_limit = 1024 * MEBIBYTE;
  const RunResult r = run_program(o);
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_TRUE(out_of_memory(r.err)) << r.err;
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"job.dat"});
}

// Without any limit: a series of 2^31 time points needs far more than the
// machine has, and is refused before it starts instead of growing until the
// system ends it.
TEST(MemoryExhaustion, HugeSeriesIsRefusedAtOnce) {
  TempDir dir;
  std::string job = small_job(0);
  const std::string intervals = "3 ;     # time intervals";
  job.replace(job.find(intervals), intervals.size(), "2147483647 ;");
  write_file(dir / "job.dat", job);
  RunOptions o = run_in(dir.path());
  o.timeout_seconds = 20;
  const RunResult r = run_program(o);
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_TRUE(out_of_memory(r.err)) << r.err;
  EXPECT_EQ(r.out.find("Simulation cycle number"), std::string::npos);
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"job.dat"});
}

// Raising the limit step by step moves the first failing allocation through
// the run: the job's arrays, the simulation's, the worker threads, the
// report buffers. Each run either fails cleanly or gives the reports of an
// unlimited run; the sweep stops a few completed runs past the first.
TEST(MemoryExhaustion, EveryLimitFailsCleanlyOrCompletes) {
  SKIP_UNDER_ADDRESS_SANITIZER();
  const std::string job = small_job(200000);
  TempDir unlimited;
  write_file(unlimited / "job.dat", job);
  ASSERT_EQ(run_program(run_in(unlimited.path())).exit_status, 0);
  const std::string rs = read_file(unlimited / "job_rs.dat");
  const std::string xls = read_file(unlimited / "job_xls.dat");

  int failed = 0;
  int completed = 0;
  for (rlim_t limit = 8 * MEBIBYTE; limit <= 512 * MEBIBYTE && completed < 4; limit += MEBIBYTE) {
    TempDir dir;
    write_file(dir / "job.dat", job);
    RunOptions o = run_in(dir.path());
    o.address_space_limit = limit;
    const RunResult r = run_program(o);
    const std::string at = "at a limit of " + std::to_string(limit / MEBIBYTE) + " MiB: ";
    if (r.exit_status == 0) {
      ++completed;
      EXPECT_TRUE(read_file(dir / "job_rs.dat") == rs) << at << "results report differs";
      EXPECT_TRUE(read_file(dir / "job_xls.dat") == xls) << at << "spreadsheet file differs";
    } else {
      ++failed;
      ASSERT_EQ(r.exit_status, 1) << at << r.describe();
      ASSERT_TRUE(out_of_memory(r.err)) << at << r.err;
      // The reports are one set: a failure leaves neither.
      EXPECT_EQ(entries(dir.path()), std::set<std::string>{"job.dat"}) << at;
    }
  }
  EXPECT_GT(failed, 0);
  EXPECT_EQ(completed, 4);
}

}  // namespace
}  // namespace tbx::faults
