#pragma once
// What the checker makes of a variable's distribution code and parameters.
// The only place in the checker that knows the codes themselves.

#include <cstdint>
#include <string_view>

namespace tbx {

enum class Shape { normal, lognormal, beta, deterministic, unknown };

Shape shape_of(std::int32_t code);
std::string_view shape_name(Shape shape);

struct Moments {
  double mean;
  double sd;
};

/// The mean and standard deviation of the variable the parameters describe
/// (for the deterministic shape: the value and 0).
Moments moments_of(Shape shape, double a, double b);

}  // namespace tbx
