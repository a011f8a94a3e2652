// Job files that no one would write on purpose: whatever their bytes, the
// program ends by itself, refuses them with a report on standard error and
// exit status 1 and writes no report, or runs them to a complete end.

#include <gtest/gtest.h>

#include <random>

#include "support/run_program.hpp"

namespace tbx::faults {
namespace {

const std::string END_OF_FILE = error_report("Unexpected end of file");
constexpr std::size_t MEBIBYTE = 1 << 20;

/// Runs `job_text` as job.dat in a fresh directory.
RunResult run_job_text(const std::string& job_text, std::set<std::string>* left = nullptr) {
  TempDir dir;
  write_file(dir / "job.dat", job_text);
  RunResult r = run_program(run_in(dir.path()));
  if (left != nullptr) *left = entries(dir.path());
  return r;
}

/// `small_job()` with `extra` put in front of the line that starts with
/// `before` (a field's first characters).
std::string insert_before(const std::string& before, const std::string& extra) {
  std::string text = small_job();
  const auto at = text.find("\n" + before);
  if (at == std::string::npos) throw std::runtime_error("no line starting with " + before);
  return text.insert(at + 1, extra);
}

std::string random_bytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string bytes(n, '\0');
  for (auto& b : bytes) b = static_cast<char>(gen() & 0xFF);
  return bytes;
}

struct Refused {
  const char* name;
  std::string job_text;
  std::string report_start;  ///< how standard error must begin
};

class RefusedInput : public testing::TestWithParam<Refused> {};

TEST_P(RefusedInput, EndsWithReportAndNoFiles) {
  std::set<std::string> left;
  const RunResult r = run_job_text(GetParam().job_text, &left);
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_TRUE(begins_with(r.err, GetParam().report_start)) << r.describe();
  EXPECT_EQ(left, std::set<std::string>{"job.dat"});
}

std::vector<Refused> refused_inputs() {
  std::string comments;
  for (int i = 0; i < 100000; ++i) comments += "# comment line\n";
  return {
      {"Empty", "", END_OF_FILE},
      {"OnlyBlanks", std::string(MEBIBYTE, ' ') + "\n\t\r\n", END_OF_FILE},
      {"OnlyAComment", "# a job file that is all comment, without its line end", END_OF_FILE},
      {"RandomBytes", random_bytes(64 * 1024, 1), "\nERROR:\n"},
      {"RandomBytesAfterTitle", "title ;\n" + random_bytes(64 * 1024, 2), "\nERROR:\n"},
      {"NulInTitle", std::string("title\0more ;\n", 13),
       "\nERROR:\n\"Bad\" character found\nLine n. 1\n"},
      {"NulInValue", insert_before("0 ;     # seed mode", std::string("0\0 ;\n", 5)),
       "\nERROR:\n\"Bad\" character found\nLine n. 7\n"},
      {"TokenOfOneMebibyte", insert_before("400 ;", std::string(MEBIBYTE, '7') + " ;\n"),
       "\nERROR:\nWord too long (max. = 1000 characters)\nLine n. 21\n"},
      {"TitleOfOneMebibyte", std::string(MEBIBYTE, 'T') + " ;\n", 
       "\nERROR:\nString too long (max. = 1000 characters)\nLine n. 1\n"},
      {"TitleWithoutTerminator", std::string(900, 'T') + "\n" + std::string(90, 'T'), END_OF_FILE},
      // The line count must survive a long file: the wrong token stands on
      // line 100,002.
      {"WrongTokenAfter100000CommentLines", "title ;\n" + comments + "0x ;\n",
       "\nERROR:\nInvalid integer number\nLine n. 100002\n"},
  };
}

INSTANTIATE_TEST_SUITE_P(HostileInput, RefusedInput, testing::ValuesIn(refused_inputs()),
                         [](const auto& info) { return std::string(info.param.name); });

struct Accepted {
  const char* name;
  std::string job_text;
};

class AcceptedInput : public testing::TestWithParam<Accepted> {};

// Odd but valid: these must run to the same reports as the plain job.
TEST_P(AcceptedInput, RunsToCompleteReports) {
  TempDir plain;
  write_file(plain / "job.dat", small_job());
  ASSERT_EQ(run_program(run_in(plain.path())).exit_status, 0);

  TempDir dir;
  write_file(dir / "job.dat", GetParam().job_text);
  const RunResult r = run_program(run_in(dir.path()));
  ASSERT_EQ(r.exit_status, 0) << r.describe();
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(read_file(dir / "job_rs.dat") == read_file(plain / "job_rs.dat"));
  EXPECT_TRUE(read_file(dir / "job_xls.dat") == read_file(plain / "job_xls.dat"));
}

std::vector<Accepted> accepted_inputs() {
  std::string comments;
  for (int i = 0; i < 100000; ++i) comments += "# comment line\n";
  std::string crlf;
  for (const char c : small_job()) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return {
      {"CommentLines100000", insert_before("0 ;     # seed mode", comments)},
      {"CommentOfOneMebibyte", insert_before("0 ;     # seed mode", "#" + std::string(MEBIBYTE, 'c') + "\n")},
      {"BlanksOfOneMebibyte", insert_before("400 ;", std::string(MEBIBYTE, ' ') + "\n")},
      {"BinaryInComment", insert_before("400 ;", "# " + std::string("\0\xff\x80\x1b", 4) + "\n")},
      {"CarriageReturnLineEnds", crlf},
      {"TrailingGarbage", small_job() + random_bytes(4096, 3)},
  };
}

INSTANTIATE_TEST_SUITE_P(HostileInput, AcceptedInput, testing::ValuesIn(accepted_inputs()),
                         [](const auto& info) { return std::string(info.param.name); });

// The small job in few bytes, every field kept, with one comment and a
// value ended by a line end.
const std::string TERSE_JOB =
    "T ;\n"
    "0 ; 2 ; 3 ; 8 ; 1 ; # modes\n"
    "0 7 1 7 2 7 7 0 7 ;\n"
    "55 1 -0.9 1 2.33 10 1825 12 28 ;\n"
    "6 0 0.25 0 2.85 40 0 1.5 0 ;\n"
    "0.25 0.75 1.25 1.75 2.5 3.5 4.5 5.5 0 0 0 0 ;\n"
    "0.635 0.517 0.437 0.295 0.2 0.088 0.044 0.02 0 0 0 0 ;\n"
    "400 ; 4242\n; 3650 ;\n";

// A job cut anywhere before the blank that ends its final ";" ends inside a
// field; with that blank it is complete.
TEST(HostileInput, JobCutAtEveryByte) {
  const std::size_t complete = TERSE_JOB.rfind(';') + 2;
  TempDir dir;
  for (std::size_t length = 0; length < complete; ++length) {
    write_file(dir / "job.dat", TERSE_JOB.substr(0, length));
    const RunResult r = run_program(run_in(dir.path()));
    ASSERT_EQ(r.exit_status, 1) << "cut at byte " << length << ": " << r.describe();
    ASSERT_EQ(r.err, END_OF_FILE) << "cut at byte " << length;
    ASSERT_EQ(entries(dir.path()), std::set<std::string>{"job.dat"}) << "cut at byte " << length;
  }
  write_file(dir / "job.dat", TERSE_JOB.substr(0, complete));
  const RunResult r = run_program(run_in(dir.path()));
  EXPECT_EQ(r.exit_status, 0) << r.describe();
}

TEST(HostileInput, DirectoryAsJobFile) {
  TempDir dir;
  fs::create_directory(dir / "job.dat");
  const RunResult r = run_program(run_in(dir.path()));
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_TRUE(begins_with(r.err, "\nERROR:\n"));
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"job.dat"});
}

// A device without end: the reader must stop at the first byte it refuses
// instead of reading on.
TEST(HostileInput, EndlessZeroBytes) {
  TempDir dir;
  fs::create_symlink("/dev/zero", dir / "job.dat");
  const RunResult r = run_program(run_in(dir.path()));
  EXPECT_EQ(r.exit_status, 1) << r.describe();
  EXPECT_TRUE(begins_with(r.err, "\nERROR:\n\"Bad\" character found\n"));
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"job.dat"});
}

// The TOML library recurses once per level: a fib job nested 40,000 levels
// deep (80 kB) is refused before the library reads it, lock removed.
TEST(HostileInput, TomlNestedFarTooDeep) {
  std::string key, inline_tables;
  for (int i = 0; i < 40000; ++i) {
    key += "a.";
    inline_tables += "{a=";
  }
  const std::string refusal = "job.toml:3: tables, keys or lists nested more than 32 levels deep; a job needs two";
  for (const std::string& deep : {key + "a = 1\n", "[" + key + "a]\n", "x = " + inline_tables + "\n"}) {
    TempDir dir;
    write_file(dir / "job.toml", "title = \"deep\"\nmodel = \"fib\"\n" + deep);
    const RunResult r = run_program(run_in(dir.path()));
    EXPECT_EQ(r.exit_status, 1) << r.describe();
    EXPECT_EQ(r.err, error_report(refusal));
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"job.toml"});
  }
}

}  // namespace
}  // namespace tbx::faults
