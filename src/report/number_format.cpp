#include "report/number_format.hpp"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tbx {

namespace {

constexpr int EXPONENT_DIGITS = 3;

// Rounding a number to a given count of significant digits is done on its
// shortest round-trip digits where they decide the result, and by the exact
// conversion otherwise. Let S be the shortest decimal that reads back as the
// double v, and k the count of digits to keep. S and v both lie in v's
// rounding interval, which is at most one ulp wide. S rounded at digit k goes
// the same way as v unless a rounding boundary M (the k kept digits followed
// by a 5) lies between them, or on one of them. M would then lie in the
// interval too; since S is the shortest decimal in the interval and M has
// k + 1 digits, S has at most k + 1 digits, and as long as decimals of k + 1
// digits are spaced wider than an ulp, M is the only one in the interval:
// S = M, that is, S ends in a 5 right after the kept digits. Only then is the
// exact conversion needed. With k <= 13 the spacing condition holds for every
// normal double (10^-14 of the value against 2^-52); subnormal numbers have
// wider ulps and always take the exact conversion.
constexpr int MAX_FAST_DIGITS = 13;

/// |value| = d[0].d[1]d[2]...d[n-1] x 10^exp10; n = 0 stands for zero.
struct Digits {
  char d[24];
  int n;
  int exp10;
};

void shortest_digits(double magnitude, Digits& x) {
  char buf[32];
  const char* end =
      std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific).ptr;
  const char* p = buf;
  int n = 0;
  x.d[n++] = *p++;
  if (*p == '.') {
    for (++p; *p != 'e'; ++p) x.d[n++] = *p;
  }
  ++p;  // 'e'
  const bool negative = *p++ == '-';
  int e = 0;
  for (; p < end; ++p) e = e * 10 + (*p - '0');
  x.n = n;
  x.exp10 = negative ? -e : e;
}

/// Rounds x to its first `keep` digits (0 or fewer: to zero or to one unit of
/// the digit before the first). False where only the exact conversion can
/// decide (see above); x is then unchanged.
bool round_digits(Digits& x, int keep) {
  if (keep >= x.n) return true;
  if (keep < 0) {
    x.n = 0;
    return true;
  }
  const char first_dropped = x.d[keep];
  if (first_dropped == '5' && x.n == keep + 1) return false;
  x.n = keep;
  if (first_dropped < '5') return true;
  int i = keep - 1;
  while (i >= 0 && x.d[i] == '9') --i;
  if (i < 0) {
    x.d[0] = '1';
    x.n = 1;
    ++x.exp10;
    return true;
  }
  ++x.d[i];
  x.n = i + 1;
  return true;
}

char digit_at(const Digits& x, int i) { return i >= 0 && i < x.n ? x.d[i] : '0'; }

char* write_zeros(char* p, int count) {
  if (count > 0) {
    std::memset(p, '0', static_cast<std::size_t>(count));
    p += count;
  }
  return p;
}

char* write_exponent_field(char* p, int exp10) {
  *p++ = 'e';
  *p++ = exp10 < 0 ? '-' : '+';
  const int e = exp10 < 0 ? -exp10 : exp10;
  p[0] = static_cast<char>('0' + e / 100);
  p[1] = static_cast<char>('0' + e / 10 % 10);
  p[2] = static_cast<char>('0' + e % 10);
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
  return std::to_chars(p, p + MAX_FIXED_CHARS, magnitude, std::chars_format::fixed, precision).ptr;
}

char* exact_exponent(char* p, double magnitude, int precision) {
  char* end =
      std::to_chars(p, p + MAX_EXPONENT_CHARS, magnitude, std::chars_format::scientific, precision).ptr;
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
  Digits x;
  x.n = 0;
  x.exp10 = 0;
  if (magnitude != 0.0) {
    if (magnitude < DBL_MIN) return exact_fixed(p, magnitude, precision);
    shortest_digits(magnitude, x);
    const int keep = x.exp10 + 1 + precision;
    if (keep > MAX_FAST_DIGITS || !round_digits(x, keep)) return exact_fixed(p, magnitude, precision);
  }
  if (x.n == 0 || x.exp10 < 0) {
    *p++ = '0';
  } else {
    for (int i = 0; i <= x.exp10; ++i) *p++ = digit_at(x, i);
  }
  if (precision > 0) {
    *p++ = '.';
    if (x.n == 0) return write_zeros(p, precision);
    for (int j = 1; j <= precision; ++j) *p++ = digit_at(x, x.exp10 + j);
  }
  return p;
}

char* write_exponent(char* p, double value, int precision) {
  if (!std::isfinite(value)) return write_non_finite(p, value);
  if (std::signbit(value)) *p++ = '-';
  const double magnitude = std::fabs(value);
  Digits x;
  if (magnitude == 0.0) {
    x.n = 0;
    x.exp10 = 0;
  } else {
    if (magnitude < DBL_MIN || precision + 1 > MAX_FAST_DIGITS) {
      return exact_exponent(p, magnitude, precision);
    }
    shortest_digits(magnitude, x);
    if (!round_digits(x, precision + 1)) return exact_exponent(p, magnitude, precision);
  }
  *p++ = digit_at(x, 0);
  if (precision > 0) {
    *p++ = '.';
    const int listed = x.n - 1 < precision ? x.n - 1 : precision;
    if (listed > 0) {
      std::memcpy(p, x.d + 1, static_cast<std::size_t>(listed));
      p += listed;
    }
    p = write_zeros(p, precision - (listed > 0 ? listed : 0));
  }
  return write_exponent_field(p, x.exp10);
}

char* write_int(char* p, std::int64_t value) {
  char digits[MAX_INT_CHARS];
  char* q = digits + MAX_INT_CHARS;
  // Work on the negative side, which holds every int64 value.
  std::int64_t v = value < 0 ? value : -value;
  do {
    *--q = static_cast<char>('0' - v % 10);
    v /= 10;
  } while (v != 0);
  if (value < 0) *p++ = '-';
  const auto n = digits + MAX_INT_CHARS - q;
  std::memcpy(p, q, static_cast<std::size_t>(n));
  return p + n;
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
  char buf[MAX_INT_CHARS + 1];
  append_padded(out, buf, write_int(buf, value), width);
}

}  // namespace tbx
