#include "core/float_chars.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace tbx::float_chars {

namespace {

std::to_chars_result copy_out(char* first, char* last, const std::string& text) {
  if (text.size() > static_cast<std::size_t>(last - first)) return {last, std::errc::value_too_large};
  std::memcpy(first, text.data(), text.size());
  return {first + text.size(), std::errc{}};
}

std::string printed(const char* conversion, int precision, double value) {
  char buffer[400];  // the longest "%.40f" of a finite double is 350 characters
  const int n = std::snprintf(buffer, sizeof buffer, conversion, precision, value);
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<std::size_t>(n));
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(&text[0], text.size(), conversion, precision, value);
  text.resize(static_cast<std::size_t>(n));
  return text;
}

bool reads_back(const std::string& text, double value) { return std::strtod(text.c_str(), nullptr) == value; }

/// The significant digits and the decimal exponent of a finite, positive
/// value: digits[0].digits[1..] x 10^exp10.
struct Decimal {
  std::string digits;
  int exp10;
};

Decimal decimal_of(const std::string& e_text) {  // "d.ddde+XX" or "de+XX"
  const std::size_t e = e_text.find('e');
  Decimal d{e_text.substr(0, 1) + (e > 1 ? e_text.substr(2, e - 2) : std::string()),
            std::atoi(e_text.c_str() + e + 1)};
  return d;
}

std::string e_text_of(const Decimal& d) {
  std::string text = d.digits.substr(0, 1);
  if (d.digits.size() > 1) text += "." + d.digits.substr(1);
  char exponent[16];
  std::snprintf(exponent, sizeof exponent, "e%c%02d", d.exp10 < 0 ? '-' : '+', std::abs(d.exp10));
  return text + exponent;
}

/// The same number of digits, one unit in the last place higher.
Decimal next_up(Decimal d) {
  std::size_t i = d.digits.size();
  while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
  if (i > 0) {
    ++d.digits[i - 1];
  } else {  // 99..9 becomes 10..0
    d.digits.insert(d.digits.begin(), '1');
    d.digits.pop_back();
    ++d.exp10;
  }
  return d;
}

/// The fewest digits that read back to `magnitude`, the nearest such
/// digits where there are two.
Decimal shortest_decimal(double magnitude) {
  for (int precision = 0;; ++precision) {
    const std::string nearest = printed("%.*e", precision, magnitude);
    if (reads_back(nearest, magnitude) || precision >= 16) return decimal_of(nearest);
    // Below a power of two the doubles lie twice as close: the nearest
    // digits can miss on that side while the next ones up still read back.
    const Decimal up = next_up(decimal_of(nearest));
    if (std::strtod(nearest.c_str(), nullptr) < magnitude && reads_back(e_text_of(up), magnitude)) return up;
  }
}

std::string fixed_text_of(const Decimal& d, double magnitude) {
  const auto n = static_cast<int>(d.digits.size());
  // A whole number prints every digit of its exact value, as printf does.
  if (d.exp10 >= n - 1) return printed("%.*f", 0, magnitude);
  if (d.exp10 >= 0) {
    const auto point = static_cast<std::size_t>(d.exp10 + 1);
    return d.digits.substr(0, point) + "." + d.digits.substr(point);
  }
  return "0." + std::string(static_cast<std::size_t>(-d.exp10 - 1), '0') + d.digits;
}

}  // namespace

std::to_chars_result to_chars(char* first, char* last, double value, std::chars_format format, int precision) {
  const char* conversion = format == std::chars_format::fixed        ? "%.*f"
                           : format == std::chars_format::scientific ? "%.*e"
                                                                     : "%.*g";
  return copy_out(first, last, printed(conversion, precision, value));
}

std::to_chars_result to_chars(char* first, char* last, double value) {
  if (!std::isfinite(value)) return copy_out(first, last, printed("%.*g", 0, value));
  std::string sign = std::signbit(value) ? "-" : "";
  const double magnitude = std::fabs(value);
  if (magnitude == 0.0) return copy_out(first, last, sign + "0");
  Decimal d = shortest_decimal(magnitude);
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  const std::string fixed = fixed_text_of(d, magnitude);
  const std::string scientific = e_text_of(d);
  return copy_out(first, last, sign + (fixed.size() <= scientific.size() ? fixed : scientific));
}

}  // namespace tbx::float_chars
