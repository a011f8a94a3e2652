// tbxrun on a fib job file: what a run writes, what it refuses, and the
// checker.

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "support/run_program.hpp"

namespace tbx {
namespace {

namespace fs = std::filesystem;
using faults::RunResult;
using faults::TempDir;

const std::string JOB =
    "title = \"pile\"\nmodel = \"fib\"\nsimulations = 2000\nseed = 7\ntimes = { first = 10, last = 50, step = 20 }\n"
    "binder = \"slag\"\nexposure = \"submerged\"\n"
    "D_RCM0 = { distribution = \"normal\", mean = 4.8, sd = 1 }\n"
    "T = { distribution = \"normal\", mean = 12, sd = 3 }\n"
    "Cs_dx = { distribution = \"lognormal\", mean = 3, sd = 0.9 }\n"
    "C0 = { distribution = \"fixed\", value = 0.1 }\n"
    "[a]\ndistribution = \"normal\"\nmean = 60\nsd = 8\n";

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FibRun, WritesTheReportAndTheSummaryFiles) {
  TempDir dir;
  faults::write_file(dir / "job.toml", JOB);
  const RunResult r = faults::run_program(faults::run_in(dir.path()));
  ASSERT_EQ(r.exit_status, 0) << r.describe();
  EXPECT_NE(r.out.find("Simulation cycle number 3 \n"), std::string::npos);
  EXPECT_EQ(faults::entries(dir.path()),
            (std::set<std::string>{"job.toml", "job_report.txt", "job_summary.json", "job_summary.csv"}));
  const std::string report = read(dir / "job_report.txt");
  EXPECT_NE(report.find("alpha     -                 beta          0.45      0.2       0       1       preset (binder slag)"),
            std::string::npos)
      << report;
  EXPECT_NE(read(dir / "job_summary.json").find("\"model\": \"fib\""), std::string::npos);
  EXPECT_EQ(read(dir / "job_summary.csv").substr(0, 2), "t,");
}

TEST(FibRun, RefusesWithoutWritingAnything) {
  TempDir dir;
  faults::write_file(dir / "job.toml", JOB + "[kt]\ndistribution = \"fixed\"\nvalue = 1\nmean = 2\n");
  RunResult r = faults::run_program(faults::run_in(dir.path()));
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, faults::error_report("job.toml:19: kt.mean: not a key of a fixed distribution; expected value"));
  EXPECT_EQ(faults::entries(dir.path()), std::set<std::string>{"job.toml"});

  faults::write_file(dir / "job.toml", JOB);
  faults::write_file(dir / "job.dat", "");
  r = faults::run_program(faults::run_in(dir.path()));
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.err, faults::error_report("Two job files - job.dat and job.toml; keep the one to run"));
  EXPECT_EQ(faults::entries(dir.path()), (std::set<std::string>{"job.dat", "job.toml"}));
}

TEST(FibRun, CheckerReadsTheJobAsTheRunDoes) {
  TempDir dir;
  faults::write_file(dir / "job.toml", JOB);
  RunResult r = faults::run_program(faults::run_in(dir.path(), {"--check", "job"}));
  EXPECT_EQ(r.exit_status, 0) << r.describe();
  EXPECT_EQ(r.out,
            "job.toml: no findings; presets: dx (exposure submerged), alpha (binder slag), be (default), "
            "Ccrit (default), kt (default)\n");
  faults::write_file(dir / "job.toml", JOB + "[a]\n");
  r = faults::run_program(faults::run_in(dir.path(), {"--check", "job"}));
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_TRUE(faults::begins_with(r.out, "job.toml:16: error: TOML syntax: ")) << r.out;
  EXPECT_EQ(faults::entries(dir.path()), std::set<std::string>{"job.toml"});
}

}  // namespace
}  // namespace tbx
