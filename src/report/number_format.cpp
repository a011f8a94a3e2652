#include "report/number_format.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

namespace tbx {

namespace {

// Large enough for any double in fixed notation with the precisions used
// here: 309 integral digits, sign, point and decimals.
constexpr int BUFFER_SIZE = 400;
constexpr int EXPONENT_DIGITS = 3;

void append_padded(std::string& out, const char* first, const char* last, int width) {
  const auto length = static_cast<int>(last - first);
  if (length < width) out.append(static_cast<std::size_t>(width - length), ' ');
  out.append(first, last);
}

// printf writes "nan" or "-nan" after the sign bit, where to_chars may not.
char* write_non_finite(char* p, double value) {
  if (std::signbit(value)) *p++ = '-';
  const char* word = std::isnan(value) ? "nan" : "inf";
  std::memcpy(p, word, 3);
  return p + 3;
}

}  // namespace

void append_fixed(std::string& out, double value, int width, int precision) {
  char buf[BUFFER_SIZE];
  char* end = std::isfinite(value)
                  ? std::to_chars(buf, buf + BUFFER_SIZE, value, std::chars_format::fixed, precision).ptr
                  : write_non_finite(buf, value);
  append_padded(out, buf, end, width);
}

void append_exponent(std::string& out, double value, int width, int precision) {
  char buf[BUFFER_SIZE];
  if (!std::isfinite(value)) {
    append_padded(out, buf, write_non_finite(buf, value), width);
    return;
  }
  char* end =
      std::to_chars(buf, buf + BUFFER_SIZE, value, std::chars_format::scientific, precision).ptr;
  // to_chars writes "e+dd" at least; widen the digits after the sign.
  char* e = static_cast<char*>(std::memchr(buf, 'e', static_cast<std::size_t>(end - buf)));
  char* digits = e + 2;
  const auto n_digits = static_cast<int>(end - digits);
  if (n_digits < EXPONENT_DIGITS) {
    const int pad = EXPONENT_DIGITS - n_digits;
    std::memmove(digits + pad, digits, static_cast<std::size_t>(n_digits));
    std::memset(digits, '0', static_cast<std::size_t>(pad));
    end += pad;
  }
  append_padded(out, buf, end, width);
}

void append_int(std::string& out, std::int64_t value, int width) {
  char buf[24];
  char* end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  append_padded(out, buf, end, width);
}

}  // namespace tbx
