#include "check/check_job.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_program.hpp"
#include "support/text_stream.hpp"
#include "support/captured_output.hpp"
#include "support/fatal_report.hpp"
#include "input/reader.hpp"
#include "input/validate.hpp"

namespace tbx {
namespace {

namespace fs = std::filesystem;
using faults::RunResult;
using faults::TempDir;

const std::string DATA = TBX_TEST_DATA_DIR "/../check/data/";

struct Checked {
  int status;
  std::string text;
};

Checked check(const std::string& job_name) {
  test::CapturedOutput out;
  const int status = check_job(job_name, out.get());
  return {status, out.text()};
}

// Each job file is the clean one with one mistake that the run accepts or
// refuses without naming the field; the checker points at the exact line
// and field.
struct MistakeCase {
  const char* job;
  int status;
  std::string first_line;   ///< the finding's heading
  std::string detail;       ///< a text its problem, expectation or fix holds
};

TEST(CheckJob, EachMistakeIsFoundAtItsFieldAndLine) {
  const std::vector<MistakeCase> cases = {
      {"dcoef_in_m2s", 3, "dcoef_in_m2s.dat:8: warning: Dcoef (diffusion coefficient, 1e-12 m2/s), first parameter = 4e-12",
       "write 4, not 4e-12"},
      {"lognormal_as_mean_sd", 3, "lognormal_as_mean_sd.dat:8: warning: Cs (surface chloride content, unit of the profile contents), first parameter = 3",
       "write first parameter 1.079, second 0.198"},
      {"temperature_kelvin", 3, "temperature_kelvin.dat:8: warning: temp (temperature, degrees C), first parameter = 288",
       "288 K is 14.85 C"},
      {"cover_in_cm", 3, "cover_in_cm.dat:8: warning: xc (concrete cover, mm), first parameter = 6", "6 cm is 60 mm"},
      {"negative_sd", 3, "negative_sd.dat:9: warning: Ccr (critical chloride content, unit of the profile contents), second parameter = -0.15",
       "a standard deviation of 0 or below"},
      {"n_one", 3, "n_one.dat:8: warning: n (age exponent), first parameter = 1", "expected: 0 to below 1"},
      {"value_too_many", 1, "value_too_many.dat:15: error: text after the last field = 0", "seed = 12, prediction age = 12345"},
      {"dcoef_large_cov", 3, "dcoef_large_cov.dat:9: warning: Dcoef (diffusion coefficient, 1e-12 m2/s), second parameter = 2.4",
       "10.56 % of the samples are negative"},
      {"invalid_type", 1, "invalid_type.dat:7: error: te (age at the start of exposure, days), distribution type = 3",
       "expected: 0 normal, 1 lognormal, 2 beta or 7 deterministic"},
      {"cut_short", 1, "cut_short.dat:12: error: seed", "the file ends after this line, where seed should follow"},
      {"row_too_long", 1, "row_too_long.dat:7: error: the ';' after the distribution type row", "the row takes 9 values"},
      {"beta_as_mean_sd", 3, "beta_as_mean_sd.dat:8: warning: n (age exponent), first parameter = 0.45", "write a = 2.334, b = 2.853"},
      {"series_same_year", 3, "series_same_year.dat:4: warning: number of time intervals = 10",
       "time points 1 and 2 both fall on year 1"},
  };
  for (const MistakeCase& c : cases) {
    const Checked r = check(DATA + c.job);
    EXPECT_EQ(r.status, c.status) << c.job << "\n" << r.text;
    // One finding each: the heading is the first line after the path.
    const std::string text = r.text.substr(r.text.find(c.job));
    EXPECT_EQ(text.substr(0, text.find('\n')), c.first_line) << r.text;
    EXPECT_NE(r.text.find(c.detail), std::string::npos) << c.job << "\n" << r.text;
    EXPECT_NE(r.text.find(c.status == 1 ? ": 1 error, 0 warnings\n" : ": 0 errors, 1 warning\n"), std::string::npos)
        << r.text;
  }
}

TEST(CheckJob, CleanJobIsOneLineWithTheImpliedMoments) {
  const Checked r = check(DATA + "clean");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.text.find('\n'), r.text.size() - 1) << r.text;
  EXPECT_NE(r.text.find("clean.dat: no findings (Dcoef lognormal(1.079, 0.198): mean 3, sd 0.5999"), std::string::npos)
      << r.text;
}

TEST(CheckJob, EveryFindingAtOnceInLineOrder) {
  // Three rules broken at once: the run stops at the first, the checker
  // reports all of them, with the run's own messages.
  const std::string text =
      "all wrong ;\n2 ;\n0 ;\n0 ;\n0 ;\n0 ;\n0 1 0 0 2 7 7 0 9 ;\n60 1.079 0.6 3 2.33 0 28 15 28 ;\n"
      "8 0.198 0.15 0.6 2.85 100 0 2 0 ;\n0 0 0 0 0 0 0 0 0 0 0 0 ;\n0 0 0 0 0 0 0 0 0 0 0 0 ;\n-5 ;\n1 ;\n0 ;\n";
  test::TextStream in(text);
  const CheckResult r = check_job_stream(in.get());
  std::vector<std::string> seen;
  for (const Finding& f : r.findings) seen.push_back(std::to_string(f.line) + " " + f.problem);
  EXPECT_EQ(seen, (std::vector<std::string>{"2 Error: Intial seed parameter invalid.",
                                            "4 Error: Time serious must be greater or equal to 1",
                                            "7 Error: Invalid distribution type",
                                            "12 Error: Number of simulations must be positive"}));
}

TEST(CheckJob, FilesThatAreNoJobGiveOneErrorFinding) {
  TempDir dir;
  faults::write_file(dir / "empty.dat", "");
  faults::write_file(dir / "binary.dat", std::string("\x7f" "ELF\0\0\x01", 7));
  fs::create_directory(dir / "folder.dat");
  for (const auto& [job, problem] : std::vector<std::pair<std::string, std::string>>{
           {"empty", "the file is empty"},
           {"binary", "\"Bad\" character found (byte code 127)"},
           {"folder", "this is a directory"},
           {"missing", "cannot open the file: No such file or directory"}}) {
    const Checked r = check((dir / job).string());
    EXPECT_EQ(r.status, 1) << job;
    EXPECT_NE(r.text.find("\n    " + problem + "\n"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find(": 1 error, 0 warnings\n"), std::string::npos) << r.text;
  }
}

// Cut at every byte, the clean job is refused by the run; the checker must
// call each cut an error too, and never stop on it.
TEST(CheckJob, EveryCutOfAJobIsAnErrorAsInTheRun) {
  const std::string whole = faults::read_file(DATA + "clean.dat");
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const std::string cut = whole.substr(0, size);
    test::TextStream run_in(cut);
    JobData job;
    alloc_job_arrays(job);
    int line_no = 1;
    test::CapturedOutput console;
    const std::string report = test::report_of([&] {
      read_job(run_in.get(), line_no, job);
      validate_job(job, console.get());
    });
    ASSERT_NE(report, "") << size;
    test::TextStream check_in(cut);
    const CheckResult r = check_job_stream(check_in.get());
    ASSERT_EQ(check_exit_status(r), 1) << size;
    EXPECT_EQ(r.findings.size(), 1u) << size;
  }
}

// On jobs with one character changed, the checker calls a job an error
// exactly when the run refuses it (text after the last field aside, which
// the run ignores).
TEST(CheckJob, AgreesWithTheRunOnChangedJobs) {
  const std::string whole = faults::read_file(DATA + "clean.dat");
  const std::string replacements = "0123456789;.-+e# \n";
  std::uint32_t state = 12345;
  auto next = [&state](std::uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % bound;
  };
  for (int k = 0; k < 2000; ++k) {
    std::string job = whole;
    job[next(static_cast<std::uint32_t>(job.size()))] = replacements[next(static_cast<std::uint32_t>(replacements.size()))];
    test::TextStream run_in(job);
    JobData read;
    alloc_job_arrays(read);
    int line_no = 1;
    test::CapturedOutput console;
    const bool refused = !test::report_of([&] {
                           read_job(run_in.get(), line_no, read);
                           validate_job(read, console.get());
                         }).empty();
    test::TextStream check_in(job);
    const CheckResult r = check_job_stream(check_in.get());
    bool error = false;
    for (const Finding& f : r.findings) {
      error = error || (f.severity == Severity::error && f.where != "text after the last field");
    }
    ASSERT_EQ(error, refused) << job << format_check("job.dat", r);
  }
}

// The checker runs nothing: no banner, no report files, exit status of its own.
TEST(CheckJob, ProgramChecksWithoutRunningOrWriting) {
  TempDir dir;
  fs::copy_file(DATA + "negative_sd.dat", dir / "job.dat");
  const RunResult r = faults::run_program(faults::run_in(dir.path(), {"--check", "job"}));
  EXPECT_EQ(r.exit_status, 3) << r.describe();
  EXPECT_TRUE(faults::begins_with(r.out, "job.dat:9: warning: Ccr"));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(faults::entries(dir.path()), std::set<std::string>{"job.dat"});

  // Findings that cannot be written are no clean bill either.
  if (!fs::exists("/dev/full")) return;
  faults::RunOptions o = faults::run_in(dir.path(), {"--check", "job"});
  o.stdout_file = "/dev/full";
  const RunResult full = faults::run_program(o);
  EXPECT_EQ(full.exit_status, 1) << full.describe();
  EXPECT_EQ(full.err, faults::error_report("Unable to write standard output"));
}

}  // namespace
}  // namespace tbx
