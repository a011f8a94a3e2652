#pragma once
// What the checker makes of a variable's distribution and parameters.

#include <string_view>

#include "prob/distribution.hpp"

namespace tbx {

std::string_view distribution_name(Distribution type);

struct Moments {
  double mean;
  double sd;
};

/// The mean and standard deviation of the variable the parameters describe
/// (for a deterministic one: the value and 0).
Moments moments_of(Distribution type, double a, double b);

}  // namespace tbx
