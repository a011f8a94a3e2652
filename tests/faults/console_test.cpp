// The console side: a prompt whose standard input is closed, ends early or
// holds binary bytes, odd arguments, and a standard output that fails.

#include <gtest/gtest.h>

#include <random>

#include "support/run_program.hpp"

namespace tbx::faults {
namespace {

const std::string NO_JOB_NAME = error_report("No job name given");
const std::string REFUSAL = "\nERROR: repeat answer ...\n";

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

RunResult prompt_with(const TempDir& dir, std::optional<std::string> input) {
  RunOptions o = run_in(dir.path(), {});
  o.stdin_text = std::move(input);
  return run_program(o);
}

TEST(Console, PromptWithStandardInputClosed) {
  TempDir dir;
  const RunResult r = prompt_with(dir, std::nullopt);
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_EQ(r.err, NO_JOB_NAME);
  EXPECT_EQ(count(r.out, "Job name ? "), 1u);
  EXPECT_TRUE(entries(dir.path()).empty());
}

// Binary lines, each starting with a byte that a job name cannot hold (so
// that no first word of a line is acceptable): every line is refused, and
// the end of input ends the prompting.
TEST(Console, PromptWithBinaryInput) {
  std::mt19937 gen(7);
  std::string input;
  const int lines = 2000;
  for (int i = 0; i < lines; ++i) {
    input += '\xff';
    const std::size_t length = gen() % 300;
    for (std::size_t k = 0; k < length; ++k) {
      const auto c = static_cast<char>(gen() & 0xFF);
      if (c != '\n' && c != '\r') input += c;
    }
    input += i % 2 == 0 ? "\n" : "\r";
  }
  TempDir dir;
  const RunResult r = prompt_with(dir, input);
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_EQ(r.err, NO_JOB_NAME);
  EXPECT_EQ(count(r.out, REFUSAL), static_cast<std::size_t>(lines));
  EXPECT_TRUE(entries(dir.path()).empty());
}

// Only the first 79 characters of a line are kept, however long the line.
TEST(Console, PromptWithEndlessLine) {
  TempDir dir;
  const RunResult r = prompt_with(dir, std::string(4 << 20, 'a'));
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_NE(r.out.find("You answered: " + std::string(79, 'a') + "\n"), std::string::npos);
  EXPECT_EQ(r.err, error_report("File not found - jobname_me.dat"));
}

// A job given by its file's name runs that file; a missing one with a
// folder or an extension names what was looked for after the classic line.
TEST(Console, JobNamesWithAnExtensionOrAFolder) {
  struct Case {
    std::vector<std::string> args;
    int exit_status;
    std::string err;
    const char* written;  ///< a file the run writes, or nullptr
  };
  const std::string missing = "File not found - jobname_me.dat\nLooked for ";
  const std::vector<Case> cases = {
      {{"job.dat"}, 0, "", "job_rs.dat"},
      {{"--summary", "job.dat"}, 0, "", "job_summary.json"},
      {{"nosuch.toml"}, 1, error_report(missing + "nosuch.toml, nosuch.toml.dat and nosuch.toml.toml"), nullptr},
      {{"sub/job"}, 1, error_report(missing + "sub/job.dat and sub/job.toml: the folder sub/ cannot be opened"),
       nullptr},
      {{"nosuch"}, 1, error_report("File not found - jobname_me.dat"), nullptr},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir / "job.dat", small_job());
    const RunResult r = run_program(run_in(dir.path(), c.args));
    EXPECT_EQ(r.exit_status, c.exit_status) << c.args.back() << r.describe();
    EXPECT_EQ(r.err, c.err) << c.args.back();
    if (c.written) {
      EXPECT_TRUE(fs::exists(dir / c.written)) << c.args.back();
    }
  }
}

TEST(Console, ArgumentsThatNameNoJob) {
  TempDir dir;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {""}, {"."}, {"/"}, {"job", "job"}, {std::string(100000, 'j')}}) {
    const RunResult r = run_program(run_in(dir.path(), args));
    EXPECT_EQ(r.exit_status, 1) << args.size() << " argument(s): " << r.describe();
    EXPECT_TRUE(begins_with(r.err, "\nERROR:\n"));
  }
  EXPECT_TRUE(entries(dir.path()).empty());
}

// A full disk behind standard output: the run must not claim success, even
// though both reports are complete.
TEST(Console, StandardOutputOnFullDevice) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TempDir dir;
  write_file(dir / "job.dat", small_job());
  RunOptions o = run_in(dir.path());
  o.stdout_file = "/dev/full";
  const RunResult r = run_program(o);
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_EQ(r.err, "\nERROR:\nUnable to write standard output\n\n");
}

// As in "tbxrun job | head -c 100": the reader of standard output is gone.
TEST(Console, StandardOutputPipeWithoutReader) {
  TempDir dir;
  write_file(dir / "job.dat", small_job());
  RunOptions o = run_in(dir.path());
  o.stdout_reader_gone = true;
  const RunResult r = run_program(o);
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_EQ(r.err, "\nERROR:\nUnable to write standard output\n\n");
}

}  // namespace
}  // namespace tbx::faults
