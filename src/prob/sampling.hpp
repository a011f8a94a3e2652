#pragma once
// Turning uniform numbers into values of the input variables.

#include <cstdint>

#include "core/array.hpp"
#include "prob/beta_functions.hpp"

namespace tbx {

/// value: on entry a uniform number in (0, 1), on exit the normal variate.
void normal_deviate(double& value, const double& mean, const double& std);
/// value: on entry a uniform number in (0, 1), on exit exp of the normal
/// variate with mean lambda and standard deviation zeta.
void lognormal_deviate(double& value, const double& lambda, const double& zeta);

/// Fills sample[1..10] of simulation k from row k of `uniforms`: the nine
/// variables and, in entry 10, the model factor.
void sample_variables(std::int64_t k, std::int32_t analysis_mode, const IntVector& dist_type,
                      RealVector& sample, const RealMatrix& dist_param, const RealMatrix& uniforms);

/// erf^-1(2u - 1): the part of a normal or lognormal variate that depends
/// only on the uniform number.
double normal_core(double u);
/// sqrt(2) * std * y + mean, with y = normal_core(u).
double normal_from_core(double y, double mean, double std);

/// One variable's distribution with its parameter-only work done once.
class VariableSampler {
 public:
  VariableSampler(std::int32_t type, double a, double b);
  /// Sets `value` from the uniform number u; false where the beta inversion
  /// does not converge. Continued-fraction texts are added to nan_texts.
  bool draw(double u, double& value, int& nan_texts) const;
  std::int32_t type() const { return type_; }

 private:
  std::int32_t type_;
  double a_, b_;
  BetaShape shape_{};
};

inline constexpr double DCOEF_FACTOR_MEAN = 0.832;
inline constexpr double DCOEF_FACTOR_STD = 0.024;
inline constexpr double MODEL_FACTOR_MEAN = 1.0;
inline constexpr double MODEL_FACTOR_STD = 0.01;

}  // namespace tbx
