#include "input/toml_nesting.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tbx {
namespace {

std::string repeated(const std::string& part, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

struct Nesting {
  const char* name;
  std::string text;
  int line;  ///< the first line beyond 4 levels; 0: none
};

class TomlNesting : public testing::TestWithParam<Nesting> {};

TEST_P(TomlNesting, FindsTheFirstLineBeyondTheLimit) {
  EXPECT_EQ(toml_nesting_beyond(GetParam().text, 4), GetParam().line);
}

// Four levels pass, five do not, whatever makes them; brackets, braces, dots
// and quotes inside strings and comments are no levels, and the line ends
// inside multi-line strings count.
INSTANTIATE_TEST_SUITE_P(
    Texts, TomlNesting,
    testing::ValuesIn(std::vector<Nesting>{
        {"DottedKey", "x = 1\na.b.c.d = 1\na.b.c.d.e = 1\n", 3},
        {"Header", "[a.b.c]\nd = 1\n  [a.b.c.d.e]\n", 3},
        {"HeaderOfArray", "[[a]]\nb.c = 1\n[[a.b.c.d]]\n", 3},
        {"KeyBelowHeader", "[a.b]\nc.d = 1\nc.d.e = 1\n", 3},
        {"Lists", "x = [[[1]]]\n\ny = [1, [2, [3, [4]]]]\n", 3},
        {"InlineTables", "x = { a = { b = { c = 1 } } }\ny = { a = { b = { c.d = 1 } } }\n", 2},
        {"ListOfInlineTables", "x = [{ a = [1] }, { b = [2, [3]] }]\n", 1},
        {"ListOverLines", "x = [\n  [ # [[[[\n    [[1]],\n  ],\n]\n", 3},
        {"StringsAndComments",
         "\"a.b.c.d.e\" = '[[[[['\n# [[[[[ a.b.c.d.e =\n'x.y'.\"q\\\".z\".w = \"{{{{{\\\\\"\n"
         "t = \"\"\"\n[[[[[\n\"\"\"\"\"\nu = '''[[[[['''\nv = [\"]]]]\", ']]]]']\n",
         0},
        {"LineEndsInMultiLineStrings", "t = \"\"\"a\\\n\n\"\nb\"\"\"\nu = '''\n'''\n[a.b.c.d.e]\n", 7},
        {"ValuesWithPoints", "a.b.c = 3.14\nd = 1979-05-27T07:32:00.999Z\ne = [1.5, 2.5e-3]\n", 0},
        {"DeepKeyWithoutValue", repeated("a.", 40000) + "a\n", 1},
    }),
    [](const testing::TestParamInfo<Nesting>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tbx
