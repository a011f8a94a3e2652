#include "prob/error_function.hpp"

#include <array>
#include <cmath>

#include "prob/cody_erf.hpp"
#include "prob/polynomial.hpp"

namespace tbx {

namespace detail {

namespace {

/// Cody's tables put the leading numerator coefficient last:
/// ((c[N-1]·s + c[0])·s + ... + c[N-3])·s + c[N-2].
template <std::size_t N>
double cody_numerator(double s, const std::array<double, N>& c) {
  return horner(s, c[N - 1], c.begin(), c.end() - 1);
}

/// The denominators are monic: ((s + d[0])·s + d[1])·s + ... + d[N-1].
template <std::size_t N>
double cody_denominator(double s, const std::array<double, N>& d) {
  return horner(s, 1.0, d.begin(), d.end());
}

/// exp(-y^2) as exp(-w^2)·exp(-δ) with w = trunc(16y)/16 and δ = (y-w)(y+w):
/// w^2 is exact for moderate y, so the rounding error of squaring y is not
/// magnified by the exponential (Cody 1969, section 4). The two exponentials
/// are taken separately on purpose.
double exp_minus_square(double y) {
  const double sixteenths = std::trunc(16.0 * y);
  const double w = sixteenths / 16.0;
  const double delta = (y - w) * (y + w);
  // Up to y = 4 (all of range 2) w takes only 65 values: exp(-w^2) comes
  // from a table filled by the same exp, so the bits are those of the call.
  constexpr int TABLED = 64;
  static const std::array<double, TABLED + 1> exp_minus_w_squared = [] {
    std::array<double, TABLED + 1> t{};
    for (int k = 0; k <= TABLED; ++k) {
      const double wk = k / 16.0;
      t[static_cast<std::size_t>(k)] = std::exp(-wk * wk);
    }
    return t;
  }();
  const double first = sixteenths <= TABLED ? exp_minus_w_squared[static_cast<std::size_t>(sixteenths)]
                                            : std::exp(-w * w);
  return first * std::exp(-delta);
}

}  // namespace

// W. J. Cody, "Rational Chebyshev approximations for the error function",
// Math. Comp. 23 (1969) 631-638; coefficients as published with the SPECFUN
// packet CALERF, listed in the published order.

// erf(y) = y·P(y^2)/Q(y^2) on [0, 0.46875].
double erf_range1(double y) {
  constexpr std::array<double, 5> N1 = {
      3.16112374387056560e0, 1.13864154151050156e2, 3.77485237685302021e2,
      3.20937758913846947e3, 1.85777706184603153e-1};
  constexpr std::array<double, 4> D1 = {
      2.36012909523441209e1, 2.44024637934444173e2, 1.28261652607737228e3,
      2.84423683343917062e3};
  const double s = y * y;
  return y * cody_numerator(s, N1) / cody_denominator(s, D1);
}

// erfc(y) = exp(-y^2)·P(y)/Q(y) on (0.46875, 4].
double erfc_range2(double y) {
  constexpr std::array<double, 9> N2 = {
      5.64188496988670089e-1, 8.88314979438837594e0, 6.61191906371416295e1,
      2.98635138197400131e2, 8.81952221241769090e2, 1.71204761263407058e3,
      2.05107837782607147e3, 1.23033935479799725e3, 2.15311535474403846e-8};
  constexpr std::array<double, 8> D2 = {
      1.57449261107098347e1, 1.17693950891312499e2, 5.37181101862009858e2,
      1.62138957456669019e3, 3.29079923573345963e3, 4.36261909014324716e3,
      3.43936767414372164e3, 1.23033935480374942e3};
  const double r = cody_numerator(y, N2) / cody_denominator(y, D2);
  return exp_minus_square(y) * r;
}

// erfc(y) = exp(-y^2)/y·(1/sqrt(pi) + s·P(s)/Q(s)), s = 1/y^2, on (4, inf).
double erfc_range3(double y) {
  constexpr std::array<double, 6> N3 = {
      3.05326634961232344e-1, 3.60344899949804439e-1, 1.25781726111229246e-1,
      1.60837851487422766e-2, 6.58749161529837803e-4, 1.63153871373020978e-2};
  constexpr std::array<double, 5> D3 = {
      2.56852019228982242e0, 1.87295284992346047e0, 5.27905102951428412e-1,
      6.05183413124413191e-2, 2.33520497626869185e-3};
  // pi to fifteen significant digits, not the nearest double: the program's
  // results are defined with this value.
  const double one_over_sqrt_pi = 1.0 / std::sqrt(3.14159265358979);
  const double s = 1.0 / (y * y);
  double r = s * cody_numerator(s, N3) / cody_denominator(s, D3);
  r = (one_over_sqrt_pi - r) / y;
  return exp_minus_square(y) * r;
}

}  // namespace detail

// Negative arguments give -erfc(|x|), not 2 - erfc(|x|): the reliability
// index turns this into 100·Phi(-beta) with one multiplication, and the
// report adds 100 to the negative values it produces for beta <= 0.
void error_function(double& x) {
  const bool negative = x < 0.0;  // -0.0 counts as non-negative
  const double y = std::fabs(x);
  double result;
  if (y <= detail::ERF_RANGE1_END) {
    result = 1.0 - detail::erf_range1(y);
  } else if (y <= detail::ERF_RANGE2_END) {
    result = detail::erfc_range2(y);
  } else {
    result = detail::erfc_range3(y);
  }
  x = negative ? -result : result;
}

}  // namespace tbx
