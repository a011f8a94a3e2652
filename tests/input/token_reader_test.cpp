#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/text_stream.hpp"
#include "support/fatal_report.hpp"
#include "input/reader.hpp"

namespace tbx {
namespace {

using test::report_of;
using test::TextStream;

/// Reads every token of `text` with read_word, keeping each token's line.
std::vector<std::pair<std::string, int>> words_with_lines(const std::string& text, int count,
                                                          int& line_no) {
  TextStream in(text);
  TokenReader reader(in.get(), line_no);
  std::vector<std::pair<std::string, int>> words;
  for (int i = 0; i < count; ++i) {
    std::string word = reader.read_word(TOKEN_CAPACITY);
    words.emplace_back(std::move(word), reader.token_line());
  }
  return words;
}

using Words = std::vector<std::pair<std::string, int>>;

TEST(TokenLines, TokenEndedByLineFeedStandsOnItsOwnLine) {
  int line_no = 1;
  EXPECT_EQ(words_with_lines("a b\nc\n\n\td\n", 4, line_no),
            (Words{{"a", 1}, {"b", 1}, {"c", 2}, {"d", 4}}));
  EXPECT_EQ(line_no, 5);
}

TEST(TokenLines, CommentsRunToTheLineEndAndCountTheirLineFeed) {
  int line_no = 1;
  EXPECT_EQ(words_with_lines("# head ; 12\n12 # tail ;\n  ; \n", 2, line_no),
            (Words{{"12", 2}, {";", 3}}));
  EXPECT_EQ(line_no, 3);  // the blank after ";" was the last character read
}

TEST(TokenLines, CarriageReturnEndsTheTokenBeforeItsLineFeed) {
  int line_no = 1;
  EXPECT_EQ(words_with_lines("12\r\n34\r\n# note\r\n56 ", 3, line_no),
            (Words{{"12", 1}, {"34", 2}, {"56", 4}}));
}

TEST(TokenLines, OnlyTheFirstBlankAfterATokenIsConsumed) {
  int line_no = 1;
  TextStream in("7 \n rest");
  TokenReader reader(in.get(), line_no);
  EXPECT_EQ(reader.read_word(TOKEN_CAPACITY), "7");
  EXPECT_EQ(in.rest(), "\n rest");
}

TEST(TokenReader, CapacityBelowThreeIsRefused) {
  int line_no = 1;
  TextStream in("abc ");
  TokenReader reader(in.get(), line_no);
  const std::string report = "\nERROR:\nMax. n. of characters in the string must be > 2\n\n";
  EXPECT_EQ(report_of([&] { reader.read_word(2); }), report);
  EXPECT_EQ(report_of([&] { reader.read_text(2, ';'); }), report);
}

TEST(TokenReader, ReadErrorIsTheEndOfTheFile) {
  int line_no = 1;
  std::FILE* dir = std::fopen(".", "r");
  ASSERT_NE(dir, nullptr);
  TokenReader reader(dir, line_no);
  EXPECT_EQ(report_of([&] { reader.read_word(TOKEN_CAPACITY); }),
            "\nERROR:\nUnexpected end of file\n\n");
  std::fclose(dir);
}

struct TextCase {
  const char* name;
  std::string input;
  std::string text;
  int token_line;
  int line_no;
};

class ReadText : public testing::TestWithParam<TextCase> {};

TEST_P(ReadText, BuildsTheTitle) {
  int line_no = 1;
  TextStream in(GetParam().input);
  TokenReader reader(in.get(), line_no);
  EXPECT_EQ(reader.read_text(1000, ';'), GetParam().text);
  EXPECT_EQ(reader.token_line(), GetParam().token_line);
  EXPECT_EQ(line_no, GetParam().line_no);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, ReadText,
    testing::ValuesIn(std::vector<TextCase>{
        {"Plain", "Pier 3;x", "Pier 3", 1, 1},
        {"TrailingBlanksRemoved", "Pier 3 \t ;", "Pier 3", 1, 1},
        {"LeadingBlankLinesAndCommentsSkipped", "\n  # intro ; here\n\t Pier;", "Pier", 3, 3},
        {"TwoLinesJoinedBySpace", "Quay\nwall ;", "Quay wall", 2, 2},
        {"CommentInsideRemoved", "Quay # note ; not the end\nwall;", "Quay  wall", 2, 2},
        {"CarriageReturnsVanish", "Quay\r\nwall\r;", "Quay wall", 2, 2},
        {"TabBecomesSpace", "a\tb;", "a b", 1, 1},
        {"LeadingSemicolonKept", ";Pier; 0 ;", ";Pier", 1, 1},
    }),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tbx
