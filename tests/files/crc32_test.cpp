#include "files/crc32.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tbx
