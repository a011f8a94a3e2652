#pragma once
// Every number the program prints goes through here.
//
// The conversions give exactly what the C library's printf gives for the
// same conversion, width and precision ("%W.Plf", "%W.Ple", "%Wd"), except
// that exponents always carry a sign and at least three digits
// (3.2886000e-003), a fixed layout that keeps report columns aligned.
// Non-finite values are spelled as printf spells them (nan, -nan, inf, -inf).

#include <cstdint>
#include <string>

namespace tbx {

/// "%<width>.<precision>lf"
void append_fixed(std::string& out, double value, int width, int precision);
/// "%<width>.<precision>le" with a three-digit exponent
void append_exponent(std::string& out, double value, int width, int precision);
/// "%<width>d"
void append_int(std::string& out, std::int64_t value, int width);

/// The shortest text that reads back to the same double ("0.1", "4e-12");
/// or, with `digits` > 0, that many significant digits as "%.<digits>g"
/// writes them. Non-finite values as printf spells them.
std::string shortest_text(double value, int digits = 0);
/// shortest_text, or "null" for infinities and NaN (JSON has no such
/// numbers).
std::string shortest_number(double x);

// The same conversions written straight into a caller's buffer, for tables
// of many numbers. Each returns the end of what it wrote; only write_int pads.

/// Room that write_fixed may need: 309 integral digits, sign, point and up
/// to 40 decimals.
inline constexpr int MAX_FIXED_CHARS = 360;
/// Room that write_exponent may need with a precision of at most 40.
inline constexpr int MAX_EXPONENT_CHARS = 56;
/// Room that write_int may need without padding.
inline constexpr int MAX_INT_CHARS = 20;

/// "%.<precision>lf", 0 <= precision <= 40.
char* write_fixed(char* p, double value, int precision);
/// "%.<precision>le" with a three-digit exponent, 0 <= precision <= 40.
char* write_exponent(char* p, double value, int precision);
/// "%<width>d"
char* write_int(char* p, std::int64_t value, int width = 0);

}  // namespace tbx
