#include "prob/sampling.hpp"

#include <cmath>

#include "prob/inverse_beta.hpp"
#include "prob/inverse_error_function.hpp"

namespace tbx {

namespace {

// The distribution codes of dist_type.
constexpr std::int32_t NORMAL = 0;
constexpr std::int32_t LOGNORMAL = 1;
constexpr std::int32_t BETA = 2;
constexpr std::int32_t DETERMINISTIC = 7;

constexpr int N_VARIABLES = 9;
constexpr int DCOEF = 2;
// Column 8 (temp) also drives the Dcoef factor and the model factor.
constexpr int TEMP = 8;
constexpr int MODEL_FACTOR = 10;

}  // namespace

// Inverse transform: sqrt(2)·erf^-1(2u - 1) is the standard normal quantile
// of u. normal_deviate and lognormal_deviate are split into the part that
// depends on u and the part that depends on the parameters so that a caller
// can share one inversion between variates of the same uniform number; the
// split changes no rounding.
double normal_core(double u) {
  double y = 2.0 * u - 1.0;
  inverse_error_function(y);
  return y;
}

double normal_from_core(double y, double mean, double std_dev) {
  return std::sqrt(2.0) * std_dev * y + mean;
}

void normal_deviate(double& value, const double& mean, const double& std_dev) {
  value = normal_from_core(normal_core(value), mean, std_dev);
}

void lognormal_deviate(double& value, const double& lambda, const double& zeta) {
  value = std::exp(normal_from_core(normal_core(value), lambda, zeta));
}

VariableSampler::VariableSampler(std::int32_t type, double a, double b)
    : type_(type), a_(a), b_(b) {
  if (type_ == BETA) shape_ = make_beta_shape(a_, b_);
}

bool VariableSampler::draw(double u, double& value, int& nan_texts) const {
  switch (type_) {
    case NORMAL:
      value = normal_from_core(normal_core(u), a_, b_);
      return true;
    case LOGNORMAL:
      value = std::exp(normal_from_core(normal_core(u), a_, b_));
      return true;
    case BETA:
      return inverse_beta_value(u, shape_, value, nan_texts);
    case DETERMINISTIC:
      value = a_;
      return true;
    default:
      // Validation admits no other code; the entry keeps its value.
      return true;
  }
}

void sample_variables(std::int64_t k, std::int32_t analysis_mode, const IntVector& dist_type,
                      RealVector& sample, const RealMatrix& dist_param, const RealMatrix& uniforms) {
  const auto u = uniforms[k];
  const double temp_core = normal_core(u[TEMP]);
  for (int i = 1; i <= N_VARIABLES; ++i) {
    const VariableSampler sampler(dist_type[i], dist_param[1][i], dist_param[2][i]);
    int nan_texts = 0;
    const bool converged = sampler.draw(u[i], sample[i], nan_texts);
    settle_beta_inversion(converged, nan_texts);
    if (i == DCOEF && analysis_mode == 1) {
      const double dcoef_factor =
          normal_from_core(temp_core, DCOEF_FACTOR_MEAN, DCOEF_FACTOR_STD);
      sample[DCOEF] = dcoef_factor * sample[DCOEF];
    }
  }
  sample[MODEL_FACTOR] = normal_from_core(temp_core, MODEL_FACTOR_MEAN, MODEL_FACTOR_STD);
}

}  // namespace tbx
