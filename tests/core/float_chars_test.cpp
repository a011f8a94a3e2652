// The replacement conversions against the standard library's, where it has
// them: any difference would change a WebAssembly build's output.
#include "core/float_chars.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#ifdef __cpp_lib_to_chars

namespace tbx {
namespace {

std::string text(std::to_chars_result r, const char* first) { return std::string(first, static_cast<const char*>(r.ptr)); }

/// Powers of two and ten with their neighbours (where shortest digits are
/// hardest), the extremes, whole numbers past 2^53, and random bit patterns.
std::vector<double> hard_values() {
  std::vector<double> v = {0.0, -0.0, 0.1, 0.3, 1e22, 1e23, 9007199254740993.0, 123456789012345680000.0,
                           5e-324, 1.7976931348623157e308, 2.2250738585072014e-308, 4e-12, 1e-5, 1e15, 1e16, 1e17};
  for (int e = -1074; e <= 1023; e += 7) {
    const double p = std::ldexp(1.0, e);
    v.insert(v.end(), {p, std::nextafter(p, 0.0), -std::nextafter(p, 1e308)});
  }
  for (int e = -323; e <= 308; e += 3) {
    const double p = std::pow(10.0, e);
    v.insert(v.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, 1e308)});
  }
  std::mt19937_64 rng(2024);
  for (int i = 0; i < 8000; ++i) {
    const std::uint64_t bits = rng();
    double x = 0;
    std::memcpy(&x, &bits, sizeof x);
    if (std::isfinite(x)) v.push_back(x);
  }
  return v;
}

TEST(FloatChars, ShortestIsTheStandardLibrarys) {
  char want[64];
  char got[64];
  for (const double x : hard_values()) {
    ASSERT_EQ(text(float_chars::to_chars(got, got + sizeof got, x), got),
              text(std::to_chars(want, want + sizeof want, x), want))
        << "bits of " << x;
  }
}

TEST(FloatChars, FixedScientificAndGeneralAreTheStandardLibrarys) {
  char want[400];
  char got[400];
  for (const double x : hard_values()) {
    for (const auto format : {std::chars_format::fixed, std::chars_format::scientific, std::chars_format::general}) {
      if (format == std::chars_format::fixed && std::fabs(x) > 1e40) continue;  // 300 digits prove nothing more
      for (const int precision : {0, 1, 8, 17, 40}) {
        ASSERT_EQ(text(float_chars::to_chars(got, got + sizeof got, x, format, precision), got),
                  text(std::to_chars(want, want + sizeof want, x, format, precision), want))
            << x << " format " << static_cast<int>(format) << " precision " << precision;
      }
    }
  }
}

TEST(FloatChars, TooSmallABufferIsReported) {
  char small[4];
  EXPECT_EQ(float_chars::to_chars(small, small + sizeof small, 0.125).ec, std::errc::value_too_large);
  EXPECT_EQ(float_chars::to_chars(small, small + sizeof small, 1.0, std::chars_format::fixed, 6).ec,
            std::errc::value_too_large);
}

}  // namespace
}  // namespace tbx

#endif
