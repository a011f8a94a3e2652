#pragma once
// The ranges of Cody's erf/erfc approximation, shared by error_function and
// the Newton steps of inverse_error_function. Arguments are non-negative.

namespace tbx::detail {

/// Upper end of range 1 (erf form) and of range 2 (erfc form with scaling).
inline constexpr double ERF_RANGE1_END = 0.46875;
inline constexpr double ERF_RANGE2_END = 4.0;

/// erf(y) from the range-1 form, 0 <= y <= 0.46875.
double erf_range1(double y);
/// erfc(y) from the range-2 form, 0.46875 < y <= 4.
double erfc_range2(double y);
/// erfc(y) from the asymptotic range-3 form, y > 4.
double erfc_range3(double y);

}  // namespace tbx::detail
