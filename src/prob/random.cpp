#include "prob/random.hpp"

namespace tbx {

namespace {
constexpr std::int32_t MULTIPLIER = 16807;
constexpr std::int32_t MODULUS = 2147483647;  // 2^31 - 1
constexpr std::int32_t SCHRAGE_Q = 127773;    // MODULUS / MULTIPLIER
constexpr std::int32_t SCHRAGE_R = 2836;      // MODULUS % MULTIPLIER
constexpr double SCALE = 4.656612875245797e-10;  // 1 / MODULUS
}  // namespace

// Park and Miller, "Random number generators: good ones are hard to find",
// CACM 31 (1988); Schrage's decomposition keeps every product within 32 bits.
void uniform_deviate(std::int32_t& seed, double& u) {
  std::int32_t k = seed ^ SEED_MASK;
  const std::int32_t q = k / SCHRAGE_Q;
  k = MULTIPLIER * (k - q * SCHRAGE_Q) - SCHRAGE_R * q;
  if (k < 0) k += MODULUS;
  u = static_cast<double>(k) * SCALE;
  seed = k ^ SEED_MASK;
}

bool seed_is_stuck(std::int32_t seed) {
  const std::int32_t k = seed ^ SEED_MASK;
  return k == 0 || k == MODULUS || k == -MODULUS;
}

}  // namespace tbx
