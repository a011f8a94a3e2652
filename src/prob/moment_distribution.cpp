#include "prob/moment_distribution.hpp"

#include <algorithm>
#include <cfloat>
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

namespace {

/// ln X of a lognormal variable is normal with mean lambda and sd zeta, where
/// E X = e^(lambda + zeta^2 / 2) and Var X / (E X)^2 = e^(zeta^2) - 1.
struct LogMoments {
  double lambda, zeta;
};
LogMoments log_moments(const MomentDistribution& d) {
  const double ratio = d.sd / d.mean;
  const double zeta2 = std::log1p(ratio * ratio);
  return {std::log(d.mean) - 0.5 * zeta2, std::sqrt(zeta2)};
}

/// The bounds of a truncated variable as standard normal scores, the
/// distribution function below the lower one and above the upper one, and the
/// share between them. Each comes from the side of the median where it keeps
/// its relative precision, so that cuts deep in either tail draw exactly.
struct Cut {
  double z_lower, z_upper;
  double p_lower, q_upper;  ///< Phi(z_lower), 1 - Phi(z_upper)
  double share;
};
Cut cut_of(const MomentDistribution& d) {
  Cut c{};
  if (d.kind == MomentKind::lognormal) {
    const LogMoments m = log_moments(d);
    const auto score = [&](double x) { return x > 0 ? (std::log(x) - m.lambda) / m.zeta : -HUGE_VAL; };
    c.z_lower = score(d.lower);
    c.z_upper = score(d.upper);
  } else {
    c.z_lower = (d.lower - d.mean) / d.sd;
    c.z_upper = (d.upper - d.mean) / d.sd;
  }
  c.p_lower = normal_cdf(c.z_lower);
  c.q_upper = normal_cdf(-c.z_upper);
  if (c.z_lower > 0) {
    c.share = normal_cdf(-c.z_lower) - c.q_upper;
  } else if (c.z_upper < 0) {
    c.share = normal_cdf(c.z_upper) - c.p_lower;
  } else {
    constexpr double SQRT1_2 = 0.70710678118654752440;
    c.share = 0.5 * (std::erf(c.z_upper * SQRT1_2) - std::erf(c.z_lower * SQRT1_2));
  }
  return c;
}

bool is_central(MomentKind kind) { return kind == MomentKind::normal || kind == MomentKind::lognormal; }
bool is_bounded(MomentKind kind) { return kind == MomentKind::beta || kind == MomentKind::uniform; }

}  // namespace

bool has_lower_bound(const MomentDistribution& d) {
  return is_bounded(d.kind) || (d.truncated && is_central(d.kind) && std::isfinite(d.lower));
}
bool has_upper_bound(const MomentDistribution& d) {
  return is_bounded(d.kind) || (d.truncated && is_central(d.kind) && std::isfinite(d.upper));
}

std::string truncation_problem(const MomentDistribution& d) {
  if (!d.truncated) return "";
  if (!is_central(d.kind)) return std::string("no truncation of a ") + moment_kind_name(d.kind) + " distribution";
  if (std::isnan(d.lower) || std::isnan(d.upper)) return "a number for lower and upper";
  if (!(d.lower < d.upper)) return "lower below upper = " + shortest_text(d.upper);
  // With sd 0 every draw is the mean.
  if (d.sd == 0) {
    if (d.mean < d.lower || d.mean > d.upper) {
      return "a mean between lower = " + shortest_text(d.lower) + " and upper = " + shortest_text(d.upper) +
             " where sd is 0";
    }
    return "";
  }
  if (d.kind == MomentKind::lognormal && !(d.upper > 0)) return "upper > 0 for a lognormal distribution";
  if (!(cut_of(d).share >= DBL_MIN)) {
    return "lower and upper that hold some of the distribution (the share between them is below 1e-308)";
  }
  return "";
}

double kept_share(const MomentDistribution& d) {
  if (!d.truncated || !is_central(d.kind) || d.sd == 0 || !truncation_problem(d).empty()) return 1.0;
  return cut_of(d).share;
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
  if (d.truncated && !is_central(d.kind)) return truncation_problem(d);
  const auto not_finite = [](double x) { return !std::isfinite(x); };
  if ((central || d.kind == MomentKind::fixed) && not_finite(d.mean)) return "a finite number for mean";
  if (central && not_finite(d.sd)) return "a finite number for sd";
  if (bounded && not_finite(d.lower)) return "a finite number for lower";
  if (bounded && not_finite(d.upper)) return "a finite number for upper";
  if (central && d.sd < 0) return "sd >= 0";
  if (d.kind == MomentKind::lognormal && d.mean <= 0) return "mean > 0 for a lognormal distribution";
  if (bounded && !(d.lower < d.upper)) return "lower below upper = " + shortest_text(d.upper);
  if (bounded && !std::isfinite(d.upper - d.lower)) return "a finite upper - lower";
  if (d.kind != MomentKind::beta) return truncation_problem(d);
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
      const LogMoments m = log_moments(d_);
      p_ = m.lambda;
      q_ = m.zeta;
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
  // With sd 0 every draw is the mean, which lies between the bounds.
  cut_ = d_.truncated && is_central(d_.kind) && d_.sd > 0;
  if (cut_) {
    const Cut c = cut_of(d_);
    z_lower_ = c.z_lower;
    z_upper_ = c.z_upper;
    p_lower_ = c.p_lower;
    q_upper_ = c.q_upper;
    share_ = c.share;
  }
}

double MomentSampler::truncated_score(double u) const {
  // Phi^-1(Phi(z_lower) + u share) below the median; above it the same
  // point as -Phi^-1((1 - Phi(z_upper)) + (1 - u) share), whose terms keep
  // their precision in the upper tail. Kept within the bounds against rounding.
  const double p = p_lower_ + u * share_;
  const double z = p <= 0.5 ? normal_quantile_wichura(p) : -normal_quantile_wichura(q_upper_ + (1 - u) * share_);
  return std::clamp(z, z_lower_, z_upper_);
}

double MomentSampler::quantile(double u) const {
  if (cut_) {
    const double z = truncated_score(u);
    const double x = d_.kind == MomentKind::normal ? d_.mean + d_.sd * z : std::exp(p_ + q_ * z);
    return std::clamp(x, d_.lower, d_.upper);
  }
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
