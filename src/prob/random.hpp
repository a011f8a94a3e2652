#pragma once

#include <cstdint>

namespace tbx {

inline constexpr std::int32_t SEED_MASK = 123459876;

/// Park-Miller minimal standard generator (Schrage's method). Writes the next
/// uniform number in (0, 1) to u and the successor state to seed.
void uniform_deviate(std::int32_t& seed, double& u);

/// Whether the generator started from `seed` only ever returns 0.
bool seed_is_stuck(std::int32_t seed);

}  // namespace tbx
