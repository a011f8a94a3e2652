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

}  // namespace tbx
