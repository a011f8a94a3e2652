// tbxrun --check --json: every job one line of JSON with the fields of its
// findings, the worst status of the jobs as the exit status.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/check_job.hpp"
#include "support/captured_output.hpp"
#include "support/run_program.hpp"

namespace tbx {
namespace {

const std::string DATA = TBX_TEST_DATA_DIR "/../check/data/";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST(CheckJson, EachJobIsOneLineWithTheFieldsOfItsFindings) {
  faults::TempDir dir;
  std::string pier = faults::read_file(TBX_TEST_DATA_DIR "/../../examples/fib_splash_pier.toml");
  pier.replace(pier.find("simulations = 100000"), 20, "simulations = -5    ");
  faults::write_file(dir / "fault.toml", pier);
  faults::write_file(dir / "deep.toml", "title = \"x\"\nx = " + std::string(40, '[') + "\n");
  struct Case {
    std::string job;
    int status;
    std::string line;  ///< the whole line, or its start where notes follow
  };
  const std::string folder = dir.path().string() + "/";
  const std::vector<Case> cases = {
      {DATA + "invalid_type", 1,
       "{\"file\": \"" + DATA + "invalid_type.dat\", \"status\": 1, \"findings\": [{\"severity\": \"error\", \"file\": \"" +
           DATA + "invalid_type.dat\", \"line\": 7, \"field\": \"te (age at the start of exposure, days), distribution "
           "type\", \"value\": \"3\", \"expected\": \"0 normal, 1 lognormal, 2 beta or 7 deterministic\""},
      {DATA + "n_one", 3, "{\"file\": \"" + DATA + "n_one.dat\", \"status\": 3, \"findings\": [{\"severity\": \"warning\""},
      {DATA + "clean", 0, "{\"file\": \"" + DATA + "clean.dat\", \"status\": 0, \"findings\": [], \"notes\": [\""},
      // A fib fault: its field and the run's message apart.
      {folder + "fault", 1,
       "{\"file\": \"fault.toml\", \"status\": 1, \"findings\": [{\"severity\": \"error\", \"file\": \"fault.toml\", "
       "\"line\": 14, \"field\": \"simulations\", \"value\": \"\", \"expected\": \"\", \"fix\": \"\", \"message\": "
       "\"expected an integer >= 1, got -5\"}"},
      // The reader stops before the checker can collect findings.
      {folder + "deep", 1,
       "{\"file\": \"deep.toml\", \"status\": 1, \"findings\": [{\"severity\": \"error\", \"file\": \"deep.toml\", "
       "\"line\": 0, \"field\": \"\", \"value\": \"\", \"expected\": \"\", \"fix\": \"\", \"message\": \"deep.toml:2: "
       "tables, keys or lists nested more than 32 levels deep; a job needs two\"}], \"notes\": []}"},
      {folder + "none", 1, "{\"file\": \"" + folder + "none.dat\", \"status\": 1, \"findings\": [{\"severity\": "
                           "\"error\", \"file\": \"" + folder + "none.dat\", \"line\": 0, \"field\": \"job file\""},
  };
  for (const Case& c : cases) {
    test::CapturedOutput out;
    EXPECT_EQ(check_jobs_json({c.job}, out.get()), c.status) << c.job;
    const std::vector<std::string> lines = lines_of(out.text());
    ASSERT_EQ(lines.size(), 1u) << out.text();
    EXPECT_EQ(lines[0].substr(0, c.line.size()), c.line);
  }
  // Several jobs: a line each, in order; an error outranks warnings.
  for (const auto& [jobs, status] : std::vector<std::pair<std::vector<std::string>, int>>{
           {{DATA + "clean", DATA + "n_one"}, 3},
           {{DATA + "n_one", DATA + "invalid_type", DATA + "clean"}, 1},
           {{DATA + "clean", DATA + "clean"}, 0}}) {
    test::CapturedOutput out;
    EXPECT_EQ(check_jobs_json(jobs, out.get()), status);
    EXPECT_EQ(lines_of(out.text()).size(), jobs.size());
  }
}

}  // namespace
}  // namespace tbx
