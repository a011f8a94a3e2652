#include "check/distribution.hpp"

#include <cmath>
#include <optional>

#include "input/job_data.hpp"

namespace tbx {

Shape shape_of(std::int32_t code) {
  const std::optional<Distribution> type = distribution_from_code(code);
  if (!type) return Shape::unknown;
  switch (*type) {
    case Distribution::normal: return Shape::normal;
    case Distribution::lognormal: return Shape::lognormal;
    case Distribution::beta: return Shape::beta;
    case Distribution::deterministic: return Shape::deterministic;
  }
  return Shape::unknown;  // not reached: every type is named above
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
