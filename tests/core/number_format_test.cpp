#include "core/number_format.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tbx {
namespace {

// The conversions the reports use: width, precision, and 'f' or 'e'.
struct Conversion {
  int width;
  int precision;
  char kind;
};
const Conversion REPORT_CONVERSIONS[] = {
    {0, 0, 'f'}, {2, 4, 'f'}, {0, 6, 'f'}, {2, 3, 'f'}, {5, 1, 'f'},
    {0, 3, 'f'}, {4, 7, 'e'}, {4, 8, 'e'},
};

std::string name_of(const Conversion& c) {
  return "%" + std::to_string(c.width) + "." + std::to_string(c.precision) + "l" + c.kind;
}

/// What the C library writes, with the exponent widened to three digits.
std::string oracle(const Conversion& c, double value) {
  char buf[512];
  std::snprintf(buf, sizeof buf, c.kind == 'f' ? "%*.*f" : "%*.*e", c.width, c.precision, value);
  std::string s = buf;
  if (c.kind == 'e' && std::isfinite(value)) {
    const auto e = s.find('e');
    if (s.size() - (e + 2) < 3) s.insert(e + 2, 3 - (s.size() - (e + 2)), '0');
  }
  return s;
}

std::string ours(const Conversion& c, double value) {
  std::string s;
  if (c.kind == 'f') {
    append_fixed(s, value, c.width, c.precision);
  } else {
    append_exponent(s, value, c.width, c.precision);
  }
  return s;
}

/// Checks every report conversion on `values`; stops at the first few
/// mismatches so that a broken formatter does not flood the log.
void expect_all_match(const std::vector<double>& values) {
  int failures = 0;
  for (const Conversion& c : REPORT_CONVERSIONS) {
    for (const double v : values) {
      const std::string want = oracle(c, v);
      const std::string got = ours(c, v);
      if (want != got && failures++ < 10) {
        ADD_FAILURE() << name_of(c) << " of " << std::hexfloat << v << std::defaultfloat
                      << ": expected \"" << want << "\", got \"" << got << "\"";
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

double from_bits(std::uint64_t bits) {
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

TEST(NumberFormat, QuotedReportValues) {
  std::string s;
  append_exponent(s, 0.0032886, 4, 7);
  EXPECT_EQ(s, "3.2886000e-003");
  s.clear();
  append_exponent(s, -3.2, 4, 8);
  EXPECT_EQ(s, "-3.20000000e+000");
  s.clear();
  append_fixed(s, 3650, 5, 1);
  EXPECT_EQ(s, "3650.0");
  s.clear();
  append_fixed(s, 0.5, 2, 3);
  EXPECT_EQ(s, "0.500");
  s.clear();
  append_fixed(s, 7, 8, 2);
  EXPECT_EQ(s, "    7.00");
}

TEST(NumberFormat, ThreeDigitExponentsAtEveryMagnitude) {
  std::string s;
  append_exponent(s, 1e-300, 0, 2);
  append_exponent(s, 1e300, 0, 2);
  append_exponent(s, 0.0, 0, 2);
  append_exponent(s, -0.0, 0, 0);
  EXPECT_EQ(s, "1.00e-3001.00e+3000.00e+000-0e+000");
}

TEST(NumberFormat, NonFiniteValuesAsPrintfSpellsThem) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::string s;
  append_exponent(s, -inf, 0, 8);
  append_fixed(s, inf, 5, 2);
  append_fixed(s, std::copysign(nan, -1.0), 5, 2);
  append_exponent(s, nan, 4, 8);
  EXPECT_EQ(s, "-inf  inf -nan nan");
  EXPECT_EQ(shortest_text(-inf) + shortest_text(std::copysign(nan, -1.0)), "-inf-nan");
}

TEST(NumberFormat, ShortestAndSignificantTexts) {
  EXPECT_EQ(shortest_text(0.1), "0.1");
  EXPECT_EQ(shortest_text(4e-12), "4e-12");
  EXPECT_EQ(shortest_text(2.1234567, 6), "2.12346");
  EXPECT_EQ(shortest_text(1e300, 6), "1e+300");
}

TEST(NumberFormat, Integers) {
  std::string s;
  append_int(s, 1, 7);
  append_int(s, -42, 0);
  append_int(s, 1234567890123, 3);
  append_int(s, std::numeric_limits<std::int64_t>::min(), 0);
  EXPECT_EQ(s, "      1-421234567890123-9223372036854775808");
}

// A value exactly halfway between two outputs goes to the even one, as
// printf takes it.
TEST(NumberFormat, ExactTiesRoundToEven) {
  std::string s;
  append_fixed(s, 0.5, 0, 0);
  append_fixed(s, 1.5, 2, 0);
  append_fixed(s, 2.5, 2, 0);
  append_fixed(s, 0.03125, 0, 4);
  append_fixed(s, 0.09375, 0, 4);
  EXPECT_EQ(s, "0 2 20.03120.0938");
  s.clear();
  append_exponent(s, 123456789.5, 0, 8);
  append_exponent(s, 123456788.5, 0, 8);
  EXPECT_EQ(s, "1.23456790e+0081.23456788e+008");
}

TEST(NumberFormat, EdgeValuesMatchPrintf) {
  std::vector<double> values = {
      0.0, -0.0, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
      std::numeric_limits<double>::denorm_min(), DBL_MIN, std::nextafter(DBL_MIN, 0.0), DBL_MAX,
      -DBL_MAX, DBL_EPSILON, 0.5, 1.5, 2.5, -0.5, 0.125, 0.375, 0.03125, 0.09375, 2.675, 1.00005,
      0.00125, 0.0005, 0.05, 9.5, 99.95, 999.95, 9.9999999995, 0.99999999995, 123456789.5,
      1e23, 9.999999999999999e22, 5e-324, 4.9406564584124654e-324, 1.7976931348623157e308};
  // Powers of ten and their neighbours: where digit counts and exponents change.
  for (int e = -320; e <= 308; ++e) {
    const double p = std::pow(10.0, e);
    values.insert(values.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, INFINITY), -p});
  }
  // Powers of two and their neighbours: where the integer arithmetic of the
  // fast path reaches its ends (2^53 and beyond, 2^-75 and below).
  for (int e = -1074; e <= 1023; e += (e > -90 && e < 90) ? 1 : 7) {
    const double p = std::ldexp(1.0, e);
    values.insert(values.end(), {p, std::nextafter(p, 0.0), std::nextafter(p, INFINITY)});
  }
  // Where value x 10^precision nears 2^64.
  for (int precision = 0; precision <= 9; ++precision) {
    const double v = 18446744073709551615.0 / std::pow(10.0, precision);
    values.insert(values.end(), {v, std::nextafter(v, 0.0), std::nextafter(v, INFINITY)});
  }
  // Decimals with a 5 in the first dropped place, and their neighbours, for
  // every precision used.
  for (int precision = 0; precision <= 9; ++precision) {
    for (int k = 0; k < 2000; k += 7) {
      const double v = (10.0 * k + 5.0) / std::pow(10.0, precision + 1);
      values.insert(values.end(), {v, std::nextafter(v, 0.0), std::nextafter(v, 1e9), -v});
      const double sig = (10.0 * k + 5.0 + 1e9) * std::pow(10.0, k % 40 - 20);
      values.insert(values.end(), {sig, std::nextafter(sig, 0.0), std::nextafter(sig, 1e300)});
    }
  }
  expect_all_match(values);
}

// Random bit patterns cover every exponent and every digit string; values
// of a report's magnitudes and values with few decimals (near and exact
// ties) cover what reports actually hold. The
// DISABLED_ variants run millions of each (--gtest_also_run_disabled_tests)
// and are worth running after any change to the formatter.
std::vector<double> random_bit_patterns(int count, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<double> values(static_cast<std::size_t>(count));
  for (double& v : values) v = from_bits(rng());
  return values;
}

std::vector<double> random_report_values(int count, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-12, 12);
  std::uniform_int_distribution<int> decimals(0, 10);
  std::uniform_int_distribution<std::int64_t> integer(-100000000, 100000000);
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; i += 2) {
    values.push_back(mantissa(rng) * std::pow(10.0, exponent(rng)));
    values.push_back(static_cast<double>(integer(rng)) / std::pow(10.0, decimals(rng)));
  }
  return values;
}

TEST(NumberFormat, RandomBitPatternsMatchPrintf) { expect_all_match(random_bit_patterns(30000, 1)); }
TEST(NumberFormat, RandomReportValuesMatchPrintf) { expect_all_match(random_report_values(200000, 2)); }
TEST(NumberFormat, DISABLED_MillionsOfBitPatternsMatchPrintf) {
  expect_all_match(random_bit_patterns(4000000, 3));
}
TEST(NumberFormat, DISABLED_MillionsOfReportValuesMatchPrintf) {
  expect_all_match(random_report_values(8000000, 4));
}

TEST(NumberFormat, BufferWritersLeaveNoPadding) {
  char buf[MAX_FIXED_CHARS];
  EXPECT_EQ(std::string(buf, write_exponent(buf, 12.5, 8)), "1.25000000e+001");
  EXPECT_EQ(std::string(buf, write_fixed(buf, -0.25, 6)), "-0.250000");
  EXPECT_EQ(std::string(buf, write_fixed(buf, DBL_MAX, 40)).size(), 309u + 1 + 40);
  EXPECT_EQ(std::string(buf, write_int(buf, 1000000)), "1000000");
}

}  // namespace
}  // namespace tbx
