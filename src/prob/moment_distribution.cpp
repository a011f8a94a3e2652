#include "prob/moment_distribution.hpp"

#include <algorithm>
#include <cmath>

#include "core/number_format.hpp"
#include "prob/normal.hpp"

namespace tbx {

const char* moment_kind_name(MomentKind kind) {
  switch (kind) {
    case MomentKind::normal: return "normal";
    case MomentKind::lognormal: return "lognormal";
    case MomentKind::beta: return "beta";
    case MomentKind::uniform: return "uniform";
    case MomentKind::fixed: return "fixed";
  }
  return "";  // not reached: every kind is named above
}

std::string moment_distribution_problem(const MomentDistribution& d) {
  bool central = false, bounded = false;  // whether mean and sd, lower and upper are read
  switch (d.kind) {
    case MomentKind::normal:
    case MomentKind::lognormal: central = true; break;
    case MomentKind::beta: central = bounded = true; break;
    case MomentKind::uniform: bounded = true; break;
    case MomentKind::fixed: break;
  }
  const auto not_finite = [](double x) { return !std::isfinite(x); };
  if ((central || d.kind == MomentKind::fixed) && not_finite(d.mean)) return "a finite number for mean";
  if (central && not_finite(d.sd)) return "a finite number for sd";
  if (bounded && not_finite(d.lower)) return "a finite number for lower";
  if (bounded && not_finite(d.upper)) return "a finite number for upper";
  if (central && d.sd < 0) return "sd >= 0";
  if (d.kind == MomentKind::lognormal && d.mean <= 0) return "mean > 0 for a lognormal distribution";
  if (bounded && !(d.lower < d.upper)) return "lower below upper = " + shortest_text(d.upper);
  if (bounded && !std::isfinite(d.upper - d.lower)) return "a finite upper - lower";
  if (d.kind != MomentKind::beta) return "";
  if (!(d.mean > d.lower && d.mean < d.upper)) {
    return "mean between lower = " + shortest_text(d.lower) + " and upper = " + shortest_text(d.upper);
  }
  if (d.sd == 0) return "sd > 0 for a beta distribution";
  const double largest = std::sqrt(d.mean - d.lower) * std::sqrt(d.upper - d.mean);
  if (!(d.sd < largest)) return "sd below sqrt((mean - lower) * (upper - mean)) = " + shortest_text(largest, 6);
  const double smallest = BETA_MIN_RELATIVE_SD * (d.upper - d.lower);
  if (d.sd < smallest) {
    return "sd at least (upper - lower) / 1e6 = " + shortest_text(smallest, 6) +
           " for a beta distribution (a narrower one is a fixed value: give it as one)";
  }
  return "";
}

MomentSampler::MomentSampler(const MomentDistribution& d) : d_(d), beta_(1, 1) {
  switch (d_.kind) {
    case MomentKind::normal:
    case MomentKind::uniform:
    case MomentKind::fixed: break;
    case MomentKind::lognormal: {
      // ln X is normal with mean lambda and sd zeta, where
      // E X = e^(lambda + zeta^2 / 2) and Var X / (E X)^2 = e^(zeta^2) - 1.
      const double ratio = d_.sd / d_.mean;
      const double zeta2 = std::log1p(ratio * ratio);
      p_ = std::log(d_.mean) - 0.5 * zeta2;
      q_ = std::sqrt(zeta2);
      break;
    }
    case MomentKind::beta: {
      // On [0, 1] the mean is m = below / width and the variance
      // v = (sd / width)^2; p + q = m (1 - m) / v - 1, p = m (p + q).
      const double width = d_.upper - d_.lower;
      const double below = d_.mean - d_.lower, above = d_.upper - d_.mean;
      const double sum = (below / d_.sd) * (above / d_.sd) - 1;
      p_ = sum * below / width;
      q_ = sum * above / width;
      // Bounds near the largest double: the product overflows where the
      // shape does not; the same shape from the fraction of the range first.
      if (!std::isfinite(p_)) p_ = sum * (below / width);
      if (!std::isfinite(q_)) q_ = sum * (above / width);
      beta_ = RegularizedBeta(p_, q_);
      break;
    }
  }
}

double MomentSampler::quantile(double u) const {
  switch (d_.kind) {
    case MomentKind::normal: return d_.mean + d_.sd * normal_quantile_wichura(u);
    case MomentKind::lognormal: return q_ == 0 ? d_.mean : std::exp(p_ + q_ * normal_quantile_wichura(u));
    case MomentKind::beta: {
      // From the nearer bound, so that values close to either keep their
      // precision as distances from it.
      const BetaPoint at = beta_.quantile(u);
      const double width = d_.upper - d_.lower;
      return std::clamp(at.x <= at.y ? d_.lower + width * at.x : d_.upper - width * at.y, d_.lower, d_.upper);
    }
    case MomentKind::uniform: return std::clamp(d_.lower + u * (d_.upper - d_.lower), d_.lower, d_.upper);
    case MomentKind::fixed: return d_.mean;
  }
  return d_.mean;  // not reached: every kind is named above
}

}  // namespace tbx
