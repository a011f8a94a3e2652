#include "prob/random.hpp"

namespace tbx {

bool seed_is_stuck(std::int32_t seed) {
  const std::int32_t k = seed ^ SEED_MASK;
  return k == 0 || k == PM_MODULUS || k == -PM_MODULUS;
}

std::int32_t first_working_seed(std::int32_t seed) {
  while (seed_is_stuck(seed)) {
    seed = static_cast<std::int32_t>(static_cast<std::uint32_t>(seed) + 1u);
  }
  return seed;
}

// Past the first draw the generator is the plain Lehmer sequence k -> 16807 k
// mod (2^31 - 1) on its internal state (the seed with SEED_MASK undone), which
// Schrage's method evaluates exactly; n draws multiply the state by 16807^n.
// The first draw is taken as uniform_deviate takes it, since the state it
// starts from may lie outside 0 .. 2^31 - 2.
std::int32_t seed_after_draws(std::int32_t seed, std::int64_t draws) {
  constexpr std::uint64_t MULTIPLIER = PM_MULTIPLIER;
  constexpr std::uint64_t MODULUS = PM_MODULUS;
  if (draws <= 0) return seed;
  double u = 0.0;
  uniform_deviate(seed, u);
  std::uint64_t state = static_cast<std::uint32_t>(seed ^ SEED_MASK);
  std::uint64_t factor = MULTIPLIER;
  for (std::int64_t n = draws - 1; n > 0; n >>= 1) {
    if (n & 1) state = state * factor % MODULUS;
    factor = factor * factor % MODULUS;
  }
  return static_cast<std::int32_t>(state) ^ SEED_MASK;
}

}  // namespace tbx
