#pragma once

namespace tbx {

/// Replaces x by erfc(|x|) carrying the sign of x: erfc(x) for x >= 0
/// (-0.0 included), -erfc(-x) for x < 0. Cody's rational approximation in
/// three ranges.
void error_function(double& x);

}  // namespace tbx
