#pragma once
// Input variables given the way engineers state them: by mean and standard
// deviation (and bounds, for a beta or uniform variable, or to cut a normal or
// lognormal one), sampled by the exact inverse of their distribution function
// over the whole range.

#include <string>

#include "prob/regularized_beta.hpp"

namespace tbx {

enum class MomentKind {
  normal,     ///< N(mean, sd)
  lognormal,  ///< exp of a normal variable, whose own mean and sd are given
  beta,       ///< four-parameter beta on [lower, upper] with the given mean and sd
  uniform,    ///< U(lower, upper); mean and sd follow from the bounds
  fixed,      ///< always `mean`
};

/// The name of a kind as written in a job file ("normal", ..., "fixed").
const char* moment_kind_name(MomentKind kind);

struct MomentDistribution {
  MomentKind kind = MomentKind::fixed;
  double mean = 0.0;
  double sd = 0.0;
  double lower = 0.0;  ///< beta and uniform; normal and lognormal where truncated
  double upper = 0.0;  ///< beta and uniform; normal and lognormal where truncated
  /// Normal and lognormal only: drawn between lower and upper (either may be
  /// infinite), the distribution of the given mean and sd cut there and
  /// scaled up to a total of 1. The mean and sd stay those before the cut.
  bool truncated = false;
};

/// Whether the distribution is bounded by finite values below and above
/// ("lower" and "upper" of a beta, uniform or truncated variable).
bool has_lower_bound(const MomentDistribution& d);
bool has_upper_bound(const MomentDistribution& d);

/// The smallest standard deviation of a beta variable, relative to the width
/// of its range. Below it the shapes exceed about 1e11: the distribution
/// function's continued fraction then needs more terms than it is given and
/// the inversion no longer settles in a few steps (at sd 1e-100 of a range of
/// 1.8 a quantile took 0.2 s and came out at the upper bound), while the
/// variable is a fixed value for any engineering purpose. Bounds near the
/// largest double with an ordinary sd fall below it too, before their shapes
/// overflow.
inline constexpr double BETA_MIN_RELATIVE_SD = 1e-6;

/// What is wrong with the parameters, as a phrase that completes "expected
/// ..." (for example "sd below sqrt((mean - lower) * (upper - mean)) = 2.1");
/// empty where they describe a distribution. A uniform distribution needs
/// lower < upper only; its mean and sd are not read.
std::string moment_distribution_problem(const MomentDistribution& d);

/// The part of moment_distribution_problem that concerns the bounds of a
/// truncated variable (empty for any other): lower below upper, some of the
/// distribution between them.
std::string truncation_problem(const MomentDistribution& d);

/// The share of the untruncated distribution that a truncated one keeps
/// between its bounds; 1 for any other.
double kept_share(const MomentDistribution& d);

/// A valid MomentDistribution with its parameter-only work done once.
class MomentSampler {
 public:
  explicit MomentSampler(const MomentDistribution& d);
  /// The value whose distribution function is u, u in (0, 1): the exact
  /// quantile, to full double precision where the distribution allows.
  double quantile(double u) const;
  const MomentDistribution& distribution() const { return d_; }
  /// Whether values differ from one draw to the next.
  bool random() const { return d_.kind != MomentKind::fixed; }

 private:
  /// The standard normal score of u within the cut [z_lower_, z_upper_].
  double truncated_score(double u) const;

  MomentDistribution d_;
  double p_ = 0.0, q_ = 0.0;  // beta shape; lognormal: lambda, zeta
  RegularizedBeta beta_;      // beta only: the shape's parameter-only work
  // Truncated only: the bounds as standard normal scores, Phi below the
  // lower one, 1 - Phi above the upper one and the share between them.
  bool cut_ = false;
  double z_lower_ = 0.0, z_upper_ = 0.0;
  double p_lower_ = 0.0, q_upper_ = 0.0, share_ = 1.0;
};

}  // namespace tbx
