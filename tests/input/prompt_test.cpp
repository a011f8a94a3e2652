#include "input/prompt.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/text_stream.hpp"
#include "support/captured_output.hpp"
#include "support/fatal_report.hpp"

namespace tbx {
namespace {

using test::CapturedOutput;
using test::report_of;
using test::TextStream;

const std::string PROMPT = "\nJob name ? ";
const std::string REFUSAL = "\nERROR: repeat answer ...\n";

std::string answered(const std::string& word) { return "You answered: " + word + "\n"; }

struct PromptCase {
  const char* name;
  std::string input;
  std::string job_name;  ///< "" : input ends before an acceptable answer
  std::string output;
};

class Prompt : public testing::TestWithParam<PromptCase> {};

TEST_P(Prompt, AsksUntilAcceptable) {
  TextStream in(GetParam().input);
  CapturedOutput out;
  std::string job_name = "unchanged";
  const std::string report = report_of([&] { prompt_job_name(job_name, in.get(), out.get()); });
  if (GetParam().job_name.empty()) {
    EXPECT_EQ(report, "\nERROR:\nNo job name given\n\n");
    EXPECT_EQ(job_name, "unchanged");
  } else {
    EXPECT_EQ(report, "");
    EXPECT_EQ(job_name, GetParam().job_name);
  }
  EXPECT_EQ(out.text(), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Prompt,
    testing::ValuesIn(std::vector<PromptCase>{
        {"Plain", "job\n", "job", PROMPT + answered("job")},
        {"FirstWordOnly", "   job second word\nnext\n", "job", PROMPT + answered("job")},
        {"LastLineWithoutLineFeed", "job", "job", PROMPT + answered("job")},
        {"CarriageReturnEndsTheLine", "job\rrest", "job", PROMPT + answered("job")},
        {"DriveAndBackslashes", "C:\\work\\pier_3.v2$\n", "C:\\work\\pier_3.v2$",
         PROMPT + answered("C:\\work\\pier_3.v2$")},
        {"RefusalsThenAnswer", "\n   \nbad-name\ntab\tname\njob\n", "job",
         PROMPT + answered("") + REFUSAL + PROMPT + answered("") + REFUSAL + PROMPT +
             answered("bad-name") + REFUSAL + PROMPT + answered("tab\tname") + REFUSAL + PROMPT +
             answered("job")},
        {"LineKeepsItsFirst79Characters", std::string(100, 'a') + "\n", std::string(79, 'a'),
         PROMPT + answered(std::string(79, 'a'))},
        {"NoInput", "", "", PROMPT},
        {"RefusalsThenNoInput", "bad-name\n\n", "",
         PROMPT + answered("bad-name") + REFUSAL + PROMPT + answered("") + REFUSAL + PROMPT},
    }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConsoleLine, DropsTheRestOfALongLineButNotTheNextLine) {
  TextStream in(std::string(200, 'x') + "\nsecond\n");
  std::string line;
  ASSERT_TRUE(get_console_line(in.get(), line));
  EXPECT_EQ(line.size(), CONSOLE_LINE_CAPACITY - 1);
  ASSERT_TRUE(get_console_line(in.get(), line));
  EXPECT_EQ(line, "second");
  EXPECT_FALSE(get_console_line(in.get(), line));
}

TEST(JobName, OnlyListedCharacters) {
  EXPECT_TRUE(job_name_acceptable("aZ09$./:\\_"));
  for (const char* name : {"", "a b", "a;b", "a*", "\xc3\xa9t\xc3\xa9", "a~"}) {
    EXPECT_FALSE(job_name_acceptable(name)) << name;
  }
  EXPECT_FALSE(job_name_acceptable(std::string("a\0b", 3)));
}

}  // namespace
}  // namespace tbx
