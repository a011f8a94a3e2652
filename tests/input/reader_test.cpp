#include "input/reader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/text_stream.hpp"
#include "support/fatal_report.hpp"
#include "support/jobs.hpp"

namespace tbx {
namespace {

using test::report_of;
using test::TextStream;

// One field per line, so that a field's line number is its position; the
// values try the number forms, the 32-bit limits and a comment the reader
// must not judge.
const std::vector<std::string> VALID_LINES = {
    "Test pier ;",                                  // 1 project name
    "0 ;",                                          // 2 seed_mode
    "0 ;",                                          // 3 analysis_mode
    "5 ;",                                          // 4 n_intervals
    "0 ;",                                          // 5 n_points
    "+0 ;",                                         // 6 predict_profile
    "0 1 2 0 00 7 7 7 7 ;",                         // 7 dist_type
    "5e1 4. .4 +3 0.5e0 2e+1 2.8E1 8e-1 1e-400 ;",  // 8 first parameters
    "5 0.8 0.05 0.3 0.05 50 0 0 0 ;",               // 9 second parameters
    "0 1 2 3 4 5 6 7 8 9 10 11 ;",                  // 10 depths
    "9 8 7 6 5 4 3 2 1 0 .5 .25 ;",                 // 11 chloride contents
    "0200 ; # S\xc3\xa3o Jo\xc3\xa3o",              // 12 nsim
    "-2147483648 ;",                                // 13 seed
    "+2147483647 ;",                                // 14 tp
};

/// The valid job with line `line` (1-based) replaced; "" keeps every line.
std::string job_text(int line = 0, const std::string& replacement = "") {
  std::string text;
  for (int i = 1; i <= static_cast<int>(VALID_LINES.size()); ++i) {
    text += (i == line ? replacement : VALID_LINES[i - 1]) + "\n";
  }
  return text;
}

JobData read_text_as_job(const std::string& text, int& line_no) {
  TextStream in(text);
  JobData job = test::allocated_job();
  read_job(in.get(), line_no, job);
  return job;
}

template <typename Array>
std::vector<double> values(const Array& array) {
  return std::vector<double>(array.begin(), array.end());
}

TEST(ReadJob, FillsEveryFieldInFileOrder) {
  int line_no = 1;
  const JobData job = read_text_as_job(job_text(), line_no);
  EXPECT_EQ(job.project_name, "Test pier");
  EXPECT_EQ(job.n_intervals, 5);
  EXPECT_EQ(values(Span1<const std::int32_t>(job.dist_code)), (std::vector<double>{0, 1, 2, 0, 0, 7, 7, 7, 7}));
  std::vector<double> types;
  for (int i = 1; i <= N_VARIABLES; ++i) types.push_back(static_cast<double>(job.dist_type[i]));
  EXPECT_EQ(types, (std::vector<double>{0, 1, 2, 0, 0, 7, 7, 7, 7}));
  EXPECT_EQ(values(job.dist_param[1]), (std::vector<double>{50, 4, 0.4, 3, 0.5, 20, 28, 0.8, 0}));
  EXPECT_EQ(values(job.dist_param[2]), (std::vector<double>{5, 0.8, 0.05, 0.3, 0.05, 50, 0, 0, 0}));
  EXPECT_EQ(job.profile_depth[12], 11.0);
  EXPECT_EQ(job.profile_cl[12], 0.25);
  EXPECT_EQ(job.nsim, 200);
  EXPECT_EQ(job.seed, INT32_MIN);
  EXPECT_EQ(job.tp, 2147483647.0);
  EXPECT_EQ(line_no, 15);
}

// A code that names no type is kept as written, for validation to refuse
// after the checks that come before it; its type is never used.
TEST(ReadJob, UnknownDistributionCodesAreKept) {
  int line_no = 1;
  const JobData job = read_text_as_job(job_text(7, "3 1 2 0 0 8 7 7 -1 ;"), line_no);
  EXPECT_EQ(values(Span1<const std::int32_t>(job.dist_code)), (std::vector<double>{3, 1, 2, 0, 0, 8, 7, 7, -1}));
  EXPECT_EQ(job.dist_type[1], Distribution::deterministic);
}

TEST(ReadJob, StopsJustAfterTheBlankThatFollowsTheLastSemicolon) {
  std::string text = job_text();
  text.pop_back();
  text += "\tgarbage \x01 ;;\n";
  TextStream in(text);
  int line_no = 1;
  JobData job = test::allocated_job();
  read_job(in.get(), line_no, job);
  EXPECT_EQ(in.rest(), "garbage \x01 ;;\n");
}

TEST(ReadJob, CrLfFileReadsLikeLfFile) {
  std::string crlf;
  for (const char c : job_text()) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  int lf_lines = 1;
  int crlf_lines = 1;
  const JobData lf_job = read_text_as_job(job_text(), lf_lines);
  const JobData crlf_job = read_text_as_job(crlf, crlf_lines);
  EXPECT_EQ(crlf_job.project_name, lf_job.project_name);
  EXPECT_EQ(crlf_job.tp, lf_job.tp);
  EXPECT_EQ(crlf_lines, lf_lines - 1);  // the last line feed is left unread
}

// Every report the reader can end a job with, as a whole text.
struct ReportCase {
  const char* name;
  std::string job;
  std::string report;
};

class ReaderReport : public testing::TestWithParam<ReportCase> {};

TEST_P(ReaderReport, IsExact) {
  int line_no = 1;
  EXPECT_EQ(report_of([&] { read_text_as_job(GetParam().job, line_no); }), GetParam().report);
}

const std::string END_OF_FILE = "\nERROR:\nUnexpected end of file\n\n";

std::string without_last_line_feed(std::string text) {
  text.pop_back();
  return text;
}

std::string truncated_after_line(int line) {
  std::string text;
  for (int i = 0; i < line; ++i) text += VALID_LINES[i] + "\n";
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, ReaderReport,
    testing::ValuesIn(std::vector<ReportCase>{
        {"EmptyFile", "", END_OF_FILE},
        {"LastSemicolonIsTheLastByte", without_last_line_feed(job_text()), END_OF_FILE},
        {"TruncatedAfterTypes", truncated_after_line(7), END_OF_FILE},
        {"TitleNeverEnds", "title without end\n", END_OF_FILE},
        {"CommentWithoutLineFeedAtTheEnd", without_last_line_feed(job_text(14, "28 # last")),
         END_OF_FILE},
        {"IntegerAgainstItsSemicolon", job_text(4, "5;"),
         "\nERROR:\nInvalid integer number\nLine n. 4\n\n"
         "Input data ........ 5;\nWrong character ...  ^\n\n"},
        {"AgeNotInteger", job_text(14, "30.5 ;"),
         "\nERROR:\nInvalid integer number\nLine n. 14\n\n"
         "Input data ........ 30.5\nWrong character ...   ^\n\n"},
        {"TenthValueOfTwoCharacters", job_text(8, "50 4.0 0.4 3.0 0.5 10 28 20 28 10 ;"),
         "\nERROR:\nSingle character expected\nLine n. 8\n\nInput data ........ 10\n\n"},
        {"TenthValueOfOneCharacter", job_text(8, "50 4.0 0.4 3.0 0.5 10 28 20 28 0 ;"),
         "\nERROR:\nMissing ;\nLine n.        8\n\n"},
        {"EightTypes", job_text(7, "0 1 2 0 0 7 7 7 ;"),
         "\nERROR:\nInvalid integer number\nLine n. 7\n\n"
         "Input data ........ ;\nWrong character ... ^\n\n"},
        {"HashAgainstValue", job_text(12, "200#simulations ;"),
         "\nERROR:\n'#' must be preceeded by a delimiter\nLine n. 12\n\n"},
        {"SemicolonInsideComment", job_text(12, "200 # ;"),
         "\nERROR:\nSingle character expected\nLine n. 13\n\nInput data ........ -2147483648\n\n"},
        {"OneCharacterInPlaceOfSemicolon", job_text(13, "7 8 ;"),
         "\nERROR:\nMissing ;\nLine n.       13\n\n"},
        {"ValueEndedByLineFeedIsOnItsLine", job_text(8, "50 4.0 0.4 3.0 0.5 10 28 20 2x\n;"),
         "\nERROR:\nInvalid real number\nLine n. 8\n\n"
         "Input data ........ 2x\nWrong character ...  ^\n\n"},
        {"ExponentOfFourDigits", job_text(8, "1e1234 4.0 0.4 3.0 0.5 10 28 20 28 ;"),
         "\nERROR:\nInvalid real number\nLine n. 8\n\n"
         "Input data ........ 1e1234\nWrong character ...      ^\n\n"},
        {"IntegerOfTwelveCharacters", job_text(12, "000000000200 ;"),
         "\nERROR:\nInteger number has too many characters\nLine n. 12\n\n"
         "Input data ........ 000000000200\n\n"},
        {"IntegerJustAbove32Bits", job_text(13, "2147483648 ;"),
         "\nERROR:\nInteger number out of range\nLine n. 13\n\n"
         "Input data ........ 2147483648\n\n"},
        {"IntegerJustBelow32Bits", job_text(2, "-2147483649 ;"),
         "\nERROR:\nInteger number out of range\nLine n. 2\n\n"
         "Input data ........ -2147483649\n\n"},
        {"RealAboveDouble", job_text(8, "1e400 4.0 0.4 3.0 0.5 10 28 20 28 ;"),
         "\nERROR:\nReal number out of range\nLine n. 8\n\nInput data ........ 1e400\n\n"},
        {"RealBelowMinusDouble", job_text(10, "0 1 2 -1e400 4 5 6 7 8 9 10 11 ;"),
         "\nERROR:\nReal number out of range\nLine n. 10\n\n"
         "Input data ........ -1e400\n\n"},
        {"TitleOf1000Characters", job_text(1, std::string(1000, 't') + ";"),
         "\nERROR:\nString too long (max. = 1000 characters)\nLine n. 1\n\n"},
        {"TitleOf999CharactersPasses", job_text(1, std::string(999, 't') + ";"), ""},
        {"TokenOf1000Characters", job_text(13, std::string(1000, '7') + " ;"),
         "\nERROR:\nWord too long (max. = 1000 characters)\nLine n. 13\n\n"},
        {"TokenOf999Characters", job_text(13, std::string(999, '7') + " ;"),
         "\nERROR:\nInteger number has too many characters\nLine n. 13\n\nInput data ........ " +
             std::string(999, '7') + "\n\n"},
        {"AccentInTitle", job_text(1, "Ponte S\xc3\xa3o ;"),
         "\nERROR:\n\"Bad\" character found\nLine n. 1\n\n"
         "Input data ........ Ponte S?\n\"Bad\" character ...        ^\n\n"
         "ASCII code of the \"bad\" character = 195\n\n"},
        {"AccentInSecondTitleLine", job_text(1, "Ponte\n S\xc3\xa3o ;"),
         "\nERROR:\n\"Bad\" character found\nLine n. 2\n\n"
         "Input data ........ Ponte  S?\n\"Bad\" character ...         ^\n\n"
         "ASCII code of the \"bad\" character = 195\n\n"},
        {"AccentInToken", job_text(8, "50 4\xc3\xa9 0.4 3.0 0.5 10 28 20 28 ;"),
         "\nERROR:\n\"Bad\" character found\nLine n. 8\n\n"
         "Input data ........ 4??\n\"Bad\" character ...  ^\n\n"
         "ASCII code of the \"bad\" character = 195\n\n"},
        {"NulInValue", job_text(2, std::string("0\0 ;", 4)),
         "\nERROR:\n\"Bad\" character found\nLine n. 2\n\n"
         "Input data ........ 0?\n\"Bad\" character ...  ^\n\n"
         "ASCII code of the \"bad\" character = 0\n\n"},
        {"NulInTitle", job_text(1, std::string("Pier\0 3;", 8)),
         "\nERROR:\n\"Bad\" character found\nLine n. 1\n\n"
         "Input data ........ Pier?\n\"Bad\" character ...     ^\n\n"
         "ASCII code of the \"bad\" character = 0\n\n"},
        {"BinaryFile", "\x89PNG\r\n\x1a\n",
         "\nERROR:\n\"Bad\" character found\nLine n. 1\n\n"
         "Input data ........ ?\n\"Bad\" character ... ^\n\n"
         "ASCII code of the \"bad\" character = 137\n\n"},
    }),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tbx
