#include "files/crc32.hpp"

#include <gtest/gtest.h>

#include <random>

namespace tbx {
namespace {

// The tools recompute it with zlib's CRC-32: the standard check values, and
// the same value whether a text is taken whole or in pieces of any length.
TEST(Crc32, MatchesZlibWholeOrInPieces) {
  EXPECT_EQ(hex32(crc32("")), "00000000");
  EXPECT_EQ(hex32(crc32("123456789")), "cbf43926");
  EXPECT_EQ(hex32(crc32("The quick brown fox jumps over the lazy dog")), "414fa339");
  const std::string text = "Pf at 10 years: 0.22 %, Beta 2.848; a text longer than eight bytes.";
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    EXPECT_EQ(crc32(crc32(0, text.data(), cut), text.data() + cut, text.size() - cut), crc32(text)) << cut;
  }
}

// Long texts take a faster path than the tables: every length and start
// around its block sizes agrees with the CRC computed one bit at a time.
TEST(Crc32, FastPathMatchesBitwiseOnRandomData) {
  std::mt19937 random(7);
  std::string data(5000, '\0');
  for (char& c : data) c = static_cast<char>(random() & 0xFF);
  auto bitwise = [](const char* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
      c ^= static_cast<unsigned char>(p[i]);
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
  };
  for (std::size_t start = 0; start < 17; start += 3) {
    for (std::size_t n = 0; n + start <= data.size(); n += n < 300 ? 1 : 97) {
      ASSERT_EQ(crc32(0, data.data() + start, n), bitwise(data.data() + start, n)) << start << " " << n;
    }
  }
  EXPECT_EQ(crc32(crc32(0, data.data(), 1000), data.data() + 1000, 4000), bitwise(data.data(), 5000));
}

}  // namespace
}  // namespace tbx
