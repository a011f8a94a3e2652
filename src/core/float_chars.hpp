#pragma once
// std::to_chars for double, for standard libraries that lack it (the libc++
// of some WebAssembly toolchains). number_format takes these only where
// <charconv> has no floating-point conversions, so that a build with them
// keeps the standard library's code; they give the same text, through the C
// library's exactly rounded printf and strtod.

#include <charconv>

namespace tbx::float_chars {

/// As std::to_chars(first, last, value, format, precision) for the fixed,
/// scientific and general formats.
std::to_chars_result to_chars(char* first, char* last, double value, std::chars_format format, int precision);
/// As std::to_chars(first, last, value): the shortest text that reads back to
/// `value`, fixed or scientific whichever is shorter (fixed on a tie).
std::to_chars_result to_chars(char* first, char* last, double value);

}  // namespace tbx::float_chars
