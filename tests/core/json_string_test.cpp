#include "core/json_string.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tbx {
namespace {

// Whatever bytes a file name or a job's text holds, the string is valid JSON:
// well-formed UTF-8 passes, every other byte becomes its Latin-1 character.
TEST(JsonString, EveryByteSequenceGivesValidJson) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"pier \"A\" \\ 1", "\"pier \\\"A\\\" \\\\ 1\""},
      {std::string("a\tb\n\x01\x1f", 6), "\"a\\u0009b\\u000a\\u0001\\u001f\""},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
      {"caf\xe9.dat", "\"caf\\u00e9.dat\""},               // Latin-1
      {"\xe2\x82", "\"\\u00e2\\u0082\""},                   // cut short
      {"\xc0\xaf \xe0\x80\xaf", "\"\\u00c0\\u00af \\u00e0\\u0080\\u00af\""},  // overlong
      {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},        // a surrogate
      {"\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},  // above U+10FFFF
      {"\x7f", "\"\x7f\""},
  };
  for (const auto& [text, json] : cases) EXPECT_EQ(json_string(text), json) << text;
}

}  // namespace
}  // namespace tbx
