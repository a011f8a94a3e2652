#pragma once
// Turning uniform numbers into values of the input variables.

#include <cstdint>

#include "prob/inverse_beta.hpp"
#include "prob/distribution.hpp"

namespace tbx {

/// value: on entry a uniform number in (0, 1), on exit the normal variate.
void normal_deviate(double& value, const double& mean, const double& std);
/// value: on entry a uniform number in (0, 1), on exit exp of the normal
/// variate with mean lambda and standard deviation zeta.
void lognormal_deviate(double& value, const double& lambda, const double& zeta);

/// erf^-1(2u - 1): the part of a normal or lognormal variate that depends
/// only on the uniform number.
double normal_core(double u);
/// sqrt(2) * std * y + mean, with y = normal_core(u).
double normal_from_core(double y, double mean, double std);

/// One variable's distribution with its parameter-only work done once.
class VariableSampler {
 public:
  VariableSampler(Distribution type, double a, double b);
  /// Sets `value` from the uniform number u; false where the beta inversion
  /// does not converge. Continued-fraction texts are added to nan_texts.
  bool draw(double u, double& value, int& nan_texts) const;
  Distribution type() const { return type_; }
  /// Whether the value follows from normal_core(u) (normal, lognormal).
  bool from_normal_core() const;
  /// The value for y = normal_core(u), with the bits of draw(u); only where
  /// from_normal_core().
  double value_from_core(double y) const;

 private:
  Distribution type_;
  double a_, b_;
  BetaInversion beta_{};
};


}  // namespace tbx
