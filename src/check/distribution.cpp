#include "check/distribution.hpp"

#include <cmath>

#include "input/job_data.hpp"

namespace tbx {

Shape shape_of(std::int32_t code) {
  switch (code) {
    case N: return Shape::normal;
    case LN: return Shape::lognormal;
    case B: return Shape::beta;
    case D: return Shape::deterministic;
    default: return Shape::unknown;
  }
}

std::string_view shape_name(Shape shape) {
  switch (shape) {
    case Shape::normal: return "normal";
    case Shape::lognormal: return "lognormal";
    case Shape::beta: return "beta";
    case Shape::deterministic: return "deterministic";
    case Shape::unknown: break;
  }
  return "unknown";
}

Moments moments_of(Shape shape, double a, double b) {
  switch (shape) {
    case Shape::normal: return {a, b};
    case Shape::lognormal: {
      const double mean = std::exp(a + b * b / 2.0);
      return {mean, mean * std::sqrt(std::expm1(b * b))};
    }
    case Shape::beta: {
      const double sum = a + b;
      return {a / sum, std::sqrt(a * b / (sum * sum * (sum + 1.0)))};
    }
    case Shape::deterministic:
    case Shape::unknown: break;
  }
  return {a, 0.0};
}

}  // namespace tbx
