#include "prob/sampling.hpp"

#include <cmath>

#include "prob/inverse_beta.hpp"
#include "prob/inverse_error_function.hpp"

namespace tbx {

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

VariableSampler::VariableSampler(Distribution type, double a, double b)
    : type_(type), a_(a), b_(b) {
  if (type_ == Distribution::beta) beta_ = make_beta_inversion(a_, b_);
}

bool VariableSampler::from_normal_core() const {
  return type_ == Distribution::normal || type_ == Distribution::lognormal;
}

double VariableSampler::value_from_core(double y) const {
  switch (type_) {
    case Distribution::normal: return normal_from_core(y, a_, b_);
    case Distribution::lognormal: return std::exp(normal_from_core(y, a_, b_));
    case Distribution::beta:
    case Distribution::deterministic: break;
  }
  return a_;  // not reached: only normal and lognormal samplers are asked
}

bool VariableSampler::draw(double u, double& value, int& nan_texts) const {
  switch (type_) {
    case Distribution::normal:
    case Distribution::lognormal:
      value = value_from_core(normal_core(u));
      return true;
    case Distribution::beta:
      return inverse_beta_value(u, beta_, value, nan_texts);
    case Distribution::deterministic:
      value = a_;
      return true;
  }
  return true;  // not reached: every type is named above
}

}  // namespace tbx
