#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "input/reader.hpp"

namespace tbx {
namespace {

struct SyntaxCase {
  std::string token;
  int wrong_position;  ///< 0: accepted
};

std::string case_name(const testing::TestParamInfo<SyntaxCase>& info) {
  std::string name = std::to_string(info.index) + "_";
  for (const char c : info.param.token) {
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

class RealSyntax : public testing::TestWithParam<SyntaxCase> {};

TEST_P(RealSyntax, AcceptsOrPointsAtTheWrongCharacter) {
  int pos = -1;
  const bool ok = real_syntax_ok(GetParam().token, pos);
  EXPECT_EQ(ok, GetParam().wrong_position == 0);
  EXPECT_EQ(pos, GetParam().wrong_position);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, RealSyntax,
    testing::ValuesIn(std::vector<SyntaxCase>{
        {"1", 0},       {"+1", 0},      {"-1.", 0},   {".5", 0},    {"5.", 0},     {"1.e5", 0},
        {".5e-3", 0},   {"1.5E+12", 0}, {"1e123", 0}, {"0200", 0},  {"1e400", 0},  {"00", 0},
        {".", 2},       {"+", 2},       {"1.2.3", 4}, {"1..", 3},   {"++1", 2},    {"12a", 3},
        {"e5", 1},      {"1e", 3},      {"1e+", 4},   {"1e-", 4},   {"1e1234", 6}, {"1e+0005", 7},
        {"1.5+3e2", 4}, {"1e5e", 4},    {"1,5", 2},   {"1d5", 2},   {"inf", 1},    {";", 1},
        {"5;", 2},      {"-.e5", 3},    {"1eE5", 3},  {"1e+-5", 4}, {"nan", 1},    {"0x1p3", 2},
    }),
    case_name);

class IntSyntax : public testing::TestWithParam<SyntaxCase> {};

TEST_P(IntSyntax, AcceptsOrPointsAtTheWrongCharacter) {
  int pos = -1;
  const bool ok = int_syntax_ok(GetParam().token, pos);
  EXPECT_EQ(ok, GetParam().wrong_position == 0);
  EXPECT_EQ(pos, GetParam().wrong_position);
}

INSTANTIATE_TEST_SUITE_P(Tokens, IntSyntax,
                         testing::ValuesIn(std::vector<SyntaxCase>{
                             {"1", 0},
                             {"+1", 0},
                             {"-1", 0},
                             {"00012", 0},
                             {"+0", 0},
                             {"+", 2},
                             {"--1", 2},
                             {"1-", 2},
                             {"12a", 3},
                             {"1.0", 2},
                             {"1e5", 2},
                             {"5;", 2},
                             {";", 1},
                             {"+-1", 2},
                         }),
                         case_name);

TEST(NumberSyntax, TrailingSpacesAreNotPartOfTheNumber) {
  int pos = -1;
  EXPECT_TRUE(real_syntax_ok("1.5   ", pos));
  EXPECT_TRUE(int_syntax_ok("  42  ", pos));
  // The exponent letter is looked for in the trimmed text only.
  EXPECT_FALSE(real_syntax_ok("+ ", pos));
  EXPECT_EQ(pos, 2);
}

TEST(Characters, TrimAndMask) {
  EXPECT_EQ(trimmed_length("ab \t  "), 4u);  // only code 32 is trimmed
  EXPECT_EQ(trimmed_length("   "), 0u);
  std::string text =
      "a\x7f"
      "b\xc3\xa9\t";
  mask_unprintable(text);
  EXPECT_EQ(text, "a?b???");
}

}  // namespace
}  // namespace tbx
