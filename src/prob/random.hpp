#pragma once
// Park and Miller's minimal standard generator, "Random number generators:
// good ones are hard to find", CACM 31 (1988), evaluated with Schrage's
// decomposition so that every product stays within 32 bits. The stored seed
// is the generator's state masked with SEED_MASK.

#include <cstdint>

namespace tbx {

inline constexpr std::int32_t SEED_MASK = 123459876;
inline constexpr std::int32_t PM_MULTIPLIER = 16807;
inline constexpr std::int32_t PM_MODULUS = 2147483647;  // 2^31 - 1
inline constexpr std::int32_t SCHRAGE_Q = 127773;       // modulus / multiplier
inline constexpr std::int32_t SCHRAGE_R = 2836;         // modulus % multiplier
inline constexpr double PM_SCALE = 4.656612875245797e-10;  // 1 / modulus

/// Writes the next uniform number in (0, 1) to u and the successor state to
/// seed. Inline: it is drawn nine times per simulation.
inline void uniform_deviate(std::int32_t& seed, double& u) {
  std::int32_t k = seed ^ SEED_MASK;
  const std::int32_t q = k / SCHRAGE_Q;
  k = PM_MULTIPLIER * (k - q * SCHRAGE_Q) - SCHRAGE_R * q;
  if (k < 0) k += PM_MODULUS;
  u = static_cast<double>(k) * PM_SCALE;
  seed = k ^ SEED_MASK;
}

/// The seed that uniform_deviate leaves after `draws` calls from `seed`,
/// found in a number of steps that grows with log(draws).
std::int32_t seed_after_draws(std::int32_t seed, std::int64_t draws);

/// Whether the generator started from `seed` only ever returns 0.
bool seed_is_stuck(std::int32_t seed);

/// `seed`, or, if it is stuck, the next value after it (wrapping past the
/// largest) that is not.
std::int32_t first_working_seed(std::int32_t seed);

}  // namespace tbx
