#pragma once
// The distribution types of the input variables.
//
// Switches over Distribution name every type and have no default branch, and
// the build turns a missing case into an error: a new type does not compile
// until every place that depends on the type handles it.

#include <cstdint>
#include <optional>

namespace tbx {

enum class Distribution : std::int32_t {
  normal = 0,         ///< N(mean, standard deviation)
  lognormal = 1,      ///< LN(lambda, zeta): exp of N(lambda, zeta)
  beta = 2,           ///< B(a, b) on (0, 1)
  deterministic = 7,  ///< D(value)
};

/// The type a job file's code stands for; none for an unknown code.
inline std::optional<Distribution> distribution_from_code(std::int32_t code) {
  switch (code) {
    case 0: return Distribution::normal;
    case 1: return Distribution::lognormal;
    case 2: return Distribution::beta;
    case 7: return Distribution::deterministic;
    default: return std::nullopt;
  }
}

/// Whether values differ from one draw to the next.
inline bool is_random(Distribution type) {
  switch (type) {
    case Distribution::normal:
    case Distribution::lognormal:
    case Distribution::beta: return true;
    case Distribution::deterministic: return false;
  }
  return false;  // not reached: every type is named above
}

}  // namespace tbx
