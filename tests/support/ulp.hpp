#pragma once
// Distances between doubles in units in the last place.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tbx_test {

/// How many doubles lie between a and b, counting one end: 0 when they are
/// equal (+0 and -0 included), 1 for neighbours; the distance runs across
/// zero. A NaN on either side gives the largest distance.
inline std::uint64_t ulp_distance(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::numeric_limits<std::uint64_t>::max();
  auto ordered = [](double v) {
    std::int64_t i;
    std::memcpy(&i, &v, sizeof i);
    // Negative doubles count down from the sign bit; map them below zero.
    return i < 0 ? std::numeric_limits<std::int64_t>::min() - i : i;
  };
  const std::int64_t ia = ordered(a);
  const std::int64_t ib = ordered(b);
  return ia > ib ? std::uint64_t(ia) - std::uint64_t(ib) : std::uint64_t(ib) - std::uint64_t(ia);
}

/// |value - quoted| within half a unit of the last of `digits` significant
/// digits of `quoted`, plus one ulp of value for the rounding of value
/// itself: the check for numbers quoted to fewer digits than a double has.
inline bool matches_digits(double value, double quoted, int digits) {
  if (quoted == 0.0) return value == 0.0;
  const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(quoted))) - (digits - 1));
  return std::fabs(value - quoted) <=
         0.5 * unit + std::fabs(std::nextafter(value, 2.0 * value) - value);
}

/// The value an in-place routine leaves in its first argument x.
template <typename Routine, typename... Args>
double in_place(Routine routine, double x, const Args&... args) {
  routine(x, args...);
  return x;
}

}  // namespace tbx_test
