#include "check/distribution.hpp"

#include <cmath>

namespace tbx {

std::string_view distribution_name(Distribution type) {
  switch (type) {
    case Distribution::normal: return "normal";
    case Distribution::lognormal: return "lognormal";
    case Distribution::beta: return "beta";
    case Distribution::deterministic: return "deterministic";
  }
  return "";  // not reached: every type is named above
}

Moments moments_of(Distribution type, double a, double b) {
  switch (type) {
    case Distribution::normal: return {a, b};
    case Distribution::lognormal: {
      const double mean = std::exp(a + b * b / 2.0);
      return {mean, mean * std::sqrt(std::expm1(b * b))};
    }
    case Distribution::beta: {
      const double sum = a + b;
      return {a / sum, std::sqrt(a * b / (sum * sum * (sum + 1.0)))};
    }
    case Distribution::deterministic: break;
  }
  return {a, 0.0};
}

}  // namespace tbx
