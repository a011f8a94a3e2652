#pragma once
// Horner's rule with the rounding order of the published routines.

#include <array>
#include <cstddef>

namespace tbx {

/// ((lead·x + c[0])·x + c[1])·x + ... + c[n-1] over the range [first, last),
/// one product and one sum rounded at each step, in this order. Every
/// polynomial of the special functions goes through here: the results must
/// match the published evaluation bit for bit, so the loop is never
/// rearranged (no estrin splits, no fused multiply-add).
template <typename It>
constexpr double horner(double x, double lead, It first, It last) {
  double r = lead;
  for (; first != last; ++first) r = r * x + *first;
  return r;
}

/// Horner's rule over a whole table listed from the highest power down.
template <std::size_t N>
constexpr double horner(double x, const std::array<double, N>& highest_first) {
  static_assert(N > 0);
  return horner(x, highest_first[0], highest_first.begin() + 1, highest_first.end());
}

}  // namespace tbx
