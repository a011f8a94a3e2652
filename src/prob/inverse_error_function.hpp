#pragma once

namespace tbx {

/// Replaces y by erf^-1(y). Arguments beyond +-0.999 are taken as +-0.9.
void inverse_error_function(double& y);

}  // namespace tbx
