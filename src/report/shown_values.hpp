#pragma once
// Values as both report files show them.

#include <cmath>

namespace tbx {

/// The probability of failure from Beta, in percent, as shown: the series
/// keeps it negative for Beta <= 0, and raising such a value by 100 gives
/// 100 * Phi(-Beta) for every sign. A negative zero, which appears when erfc
/// underflows far out in the tail, stands for 100 too.
inline double shown_pf_beta(double pf_beta) {
  const bool raised = pf_beta < 0 || (pf_beta == 0 && std::signbit(pf_beta));
  return raised ? pf_beta + 100 : pf_beta;
}

}  // namespace tbx
