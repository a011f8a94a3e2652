#include "core/number_format.hpp"

#include <algorithm>
#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#ifndef __cpp_lib_to_chars
#include "core/float_chars.hpp"
#endif

namespace tbx {

namespace {

// The floating-point conversions of the standard library, or the
// replacement where it has none.
#ifdef __cpp_lib_to_chars
using std::to_chars;
#else
using float_chars::to_chars;
#endif

constexpr int EXPONENT_DIGITS = 3;

// Most numbers are rounded in integer arithmetic, exactly: a normal double is
// m / 2^s with an integer m < 2^53, so value x 10^k = m x 10^k / 2^s. For
// 0 <= k <= 19 and 0 < s < 128 the product m x 10^k fits in 128 bits; the
// bits shifted out by s are the exact remainder, which decides the rounding
// as printf decides it: to nearest, ties to even. Numbers outside that range
// (very large or very small, or subnormal) take the exact conversion of the
// standard library, which is slower.
__extension__ typedef unsigned __int128 uint128;

constexpr int MAX_POWER = 19;  // 10^19 < 2^64

constexpr std::array<std::uint64_t, MAX_POWER + 1> powers_of_ten() {
  std::array<std::uint64_t, MAX_POWER + 1> p{};
  p[0] = 1;
  for (std::size_t k = 1; k < p.size(); ++k) p[k] = p[k - 1] * 10;
  return p;
}
constexpr std::array<std::uint64_t, MAX_POWER + 1> POW10 = powers_of_ten();
constexpr std::uint64_t pow10(int k) { return POW10[static_cast<std::size_t>(k)]; }

// Nearest doubles to 10^-20 .. 10^20, for estimating exponents.
constexpr int MIN_POWER_DOUBLE = -20;
constexpr int MAX_POWER_DOUBLE = 20;
constexpr double POWERS_OF_TEN_DOUBLE[] = {
    1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7,
    1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,   1e6,  1e7,
    1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20};

/// A positive normal double as m / 2^s, and e2 with 2^(e2-1) <= value < 2^e2.
struct Dyadic {
  std::uint64_t m;
  int s;
  int e2;
};

Dyadic dyadic(double magnitude) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const auto biased = static_cast<int>(bits >> 52);  // the sign bit is clear
  const std::uint64_t m = (bits & ((1ULL << 52) - 1)) | (1ULL << 52);
  return {m, 1075 - biased, biased - 1022};
}

/// floor(x x 10^k) into `floor`, and the sign of the dropped fraction less
/// one half into `vs_half`; false where the arithmetic above does not cover
/// it or the integer part needs more than 64 bits.
bool scale(const Dyadic& x, int k, std::uint64_t& floor, int& vs_half) {
  if (k < 0 || k > MAX_POWER || x.s <= 0 || x.s >= 128) return false;
  const uint128 product = static_cast<uint128>(x.m) * pow10(k);
  const uint128 integral = product >> x.s;
  if ((integral >> 64) != 0) return false;
  const uint128 half = static_cast<uint128>(1) << (x.s - 1);
  const uint128 dropped = product & ((half << 1) - 1);
  floor = static_cast<std::uint64_t>(integral);
  vs_half = dropped > half ? 1 : dropped < half ? -1 : 0;
  return true;
}

/// floor(log10(magnitude)), or one off where magnitude is within rounding of
/// a power of ten; e2 as in Dyadic. From 2^(e2-1) <= magnitude < 2^e2,
/// floor((e2 - 1) log10(2)) is the exponent or one below it, and a comparison
/// with the nearest double to the next power of ten settles which.
int estimated_exp10(double magnitude, int e2) {
  // floor(x log10(2)) = floor(x 78913 / 2^18) for |x| <= 1650; the division
  // is done on the non-negative side and log10(2) x is never an integer.
  const int x = e2 - 1;
  const int lower = x >= 0 ? (x * 78913) >> 18 : -(((-x) * 78913) >> 18) - 1;
  if (lower + 1 < MIN_POWER_DOUBLE || lower + 1 > MAX_POWER_DOUBLE) return lower;
  return magnitude >= POWERS_OF_TEN_DOUBLE[static_cast<std::size_t>(lower + 1 - MIN_POWER_DOUBLE)] ? lower + 1
                                                                                                : lower;
}

std::uint64_t round_to_even(std::uint64_t floor, int vs_half) {
  return floor + ((vs_half > 0 || (vs_half == 0 && (floor & 1) != 0)) ? 1 : 0);
}

/// "00" to "99".
constexpr std::array<char, 200> digit_pairs() {
  std::array<char, 200> t{};
  for (std::size_t i = 0; i < 100; ++i) {
    t[2 * i] = static_cast<char>('0' + i / 10);
    t[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return t;
}
constexpr std::array<char, 200> DIGIT_PAIRS = digit_pairs();

void write_pair(char* p, std::uint32_t n) { std::memcpy(p, &DIGIT_PAIRS[2 * n], 2); }

/// The 8 decimal digits of n < 10^8, in two independent halves.
void write_8_digits(char* p, std::uint32_t n) {
  const std::uint32_t high = n / 10000;
  const std::uint32_t low = n % 10000;
  write_pair(p, high / 100);
  write_pair(p + 2, high % 100);
  write_pair(p + 4, low / 100);
  write_pair(p + 6, low % 100);
}

/// The `count` decimal digits of n, zero-filled on the left.
void write_digits(char* p, std::uint64_t n, int count) {
  constexpr std::uint64_t EIGHT_DIGITS = 100000000;
  for (; count > 8; count -= 8) {
    write_8_digits(p + count - 8, static_cast<std::uint32_t>(n % EIGHT_DIGITS));
    n /= EIGHT_DIGITS;
  }
  auto rest = static_cast<std::uint32_t>(n);
  for (; count >= 2; count -= 2) {
    write_pair(p + count - 2, rest % 100);
    rest /= 100;
  }
  if (count == 1) p[0] = static_cast<char>('0' + rest % 10);
}

int digit_count(std::uint64_t n) {
  int count = 1;
  while (count <= MAX_POWER && n >= pow10(count)) ++count;
  return count;
}

char* write_exponent_field(char* p, int exp10) {
  *p++ = 'e';
  *p++ = exp10 < 0 ? '-' : '+';
  const auto e = static_cast<std::uint32_t>(exp10 < 0 ? -exp10 : exp10);  // at most 324
  p[0] = static_cast<char>('0' + e / 100);
  write_pair(p + 1, e % 100);
  return p + EXPONENT_DIGITS;
}

// printf writes "nan" or "-nan" after the sign bit, where to_chars may not.
char* write_non_finite(char* p, double value) {
  if (std::signbit(value)) *p++ = '-';
  std::memcpy(p, std::isnan(value) ? "nan" : "inf", 3);
  return p + 3;
}

/// The exact conversion of a finite, non-negative magnitude.
char* exact_fixed(char* p, double magnitude, int precision) {
  return to_chars(p, p + MAX_FIXED_CHARS, magnitude, std::chars_format::fixed, precision).ptr;
}

char* exact_exponent(char* p, double magnitude, int precision) {
  char* end =
      to_chars(p, p + MAX_EXPONENT_CHARS, magnitude, std::chars_format::scientific, precision).ptr;
  // to_chars writes at least two exponent digits; widen them to three.
  char* e = static_cast<char*>(std::memchr(p, 'e', static_cast<std::size_t>(end - p)));
  char* digits = e + 2;
  const auto n_digits = static_cast<int>(end - digits);
  if (n_digits < EXPONENT_DIGITS) {
    const int pad = EXPONENT_DIGITS - n_digits;
    std::memmove(digits + pad, digits, static_cast<std::size_t>(n_digits));
    std::memset(digits, '0', static_cast<std::size_t>(pad));
    end += pad;
  }
  return end;
}

void append_padded(std::string& out, const char* first, const char* last, int width) {
  const auto length = static_cast<int>(last - first);
  if (length < width) out.append(static_cast<std::size_t>(width - length), ' ');
  out.append(first, last);
}

}  // namespace

char* write_fixed(char* p, double value, int precision) {
  if (!std::isfinite(value)) return write_non_finite(p, value);
  if (std::signbit(value)) *p++ = '-';
  const double magnitude = std::fabs(value);
  std::uint64_t n = 0;
  if (magnitude != 0.0) {
    std::uint64_t floor = 0;
    int vs_half = 0;
    if (magnitude < DBL_MIN || !scale(dyadic(magnitude), precision, floor, vs_half) ||
        floor == UINT64_MAX) {
      return exact_fixed(p, magnitude, precision);
    }
    n = round_to_even(floor, vs_half);
  }
  // n is the value in units of 10^-precision.
  char digits[MAX_INT_CHARS + 48];  // up to 20 integral digits, up to 40 decimals
  const int count = std::max(digit_count(n), precision + 1);
  write_digits(digits, n, count);
  const int integral = count - precision;
  std::memcpy(p, digits, static_cast<std::size_t>(integral));
  p += integral;
  if (precision > 0) {
    *p++ = '.';
    std::memcpy(p, digits + integral, static_cast<std::size_t>(precision));
    p += precision;
  }
  return p;
}

char* write_exponent(char* p, double value, int precision) {
  if (!std::isfinite(value)) return write_non_finite(p, value);
  if (std::signbit(value)) *p++ = '-';
  const double magnitude = std::fabs(value);
  std::uint64_t n = 0;
  int exp10 = 0;
  if (magnitude != 0.0) {
    if (magnitude < DBL_MIN || precision >= MAX_POWER) return exact_exponent(p, magnitude, precision);
    const Dyadic x = dyadic(magnitude);
    exp10 = estimated_exp10(magnitude, x.e2);
    std::uint64_t floor = 0;
    int vs_half = 0;
    if (!scale(x, precision - exp10, floor, vs_half)) return exact_exponent(p, magnitude, precision);
    // The estimate can be one off next to a power of ten.
    if (floor < pow10(precision) || floor >= pow10(precision + 1)) {
      exp10 += floor < pow10(precision) ? -1 : 1;
      if (!scale(x, precision - exp10, floor, vs_half) || floor < pow10(precision) ||
          floor >= pow10(precision + 1)) {
        return exact_exponent(p, magnitude, precision);
      }
    }
    n = round_to_even(floor, vs_half);
    if (n == pow10(precision + 1)) {  // 9.99...96 rounded up to 10.00...0
      n = pow10(precision);
      ++exp10;
    }
  }
  // d.ddd: the digits go one place to the right, the first is moved back.
  if (precision == 8) {  // the simulation table's, by far the most common
    constexpr std::uint64_t EIGHT_DIGITS = 100000000;
    write_8_digits(p + 2, static_cast<std::uint32_t>(n % EIGHT_DIGITS));
    p[1] = static_cast<char>('0' + n / EIGHT_DIGITS);
  } else {
    write_digits(p + 1, n, precision + 1);
  }
  p[0] = p[1];
  if (precision > 0) {
    p[1] = '.';
    p += precision + 2;
  } else {
    p += 1;
  }
  return write_exponent_field(p, exp10);
}

char* write_int(char* p, std::int64_t value, int width) {
  const bool negative = value < 0;
  // The magnitude of INT64_MIN, too, in unsigned arithmetic.
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const int digits = digit_count(magnitude);
  for (int pad = width - digits - (negative ? 1 : 0); pad > 0; --pad) *p++ = ' ';
  if (negative) *p++ = '-';
  write_digits(p, magnitude, digits);
  return p + digits;
}

void append_fixed(std::string& out, double value, int width, int precision) {
  char buf[MAX_FIXED_CHARS];
  append_padded(out, buf, write_fixed(buf, value, precision), width);
}

void append_exponent(std::string& out, double value, int width, int precision) {
  char buf[MAX_EXPONENT_CHARS];
  append_padded(out, buf, write_exponent(buf, value, precision), width);
}

void append_int(std::string& out, std::int64_t value, int width) {
  char buf[MAX_INT_CHARS];
  append_padded(out, buf, write_int(buf, value), width);
}

std::string shortest_text(double value, int digits) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[32];
  const auto result = digits > 0 ? to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits)
                                 : to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string shortest_number(double x) { return std::isfinite(x) ? shortest_text(x) : "null"; }

}  // namespace tbx
