#pragma once

namespace tbx {

/// Replaces y by erf^-1(y). Arguments beyond +-0.999 are taken as +-0.9.
void inverse_error_function(double& y);

/// Replaces y[0..n-1] each by erf^-1(y[i]), with the bits of
/// inverse_error_function. Up to four at a time run interleaved: the steps
/// of one are a chain that waits on each result, and independent chains side
/// by side keep the processor busy.
void inverse_error_functions(double* y, int n);

}  // namespace tbx
