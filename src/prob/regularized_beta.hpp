#pragma once
// The beta distribution on [0, 1] with shapes p, q > 0: its distribution
// function, the regularized incomplete beta function I_x(p, q), and the
// inverse, to near full double precision in both tails and for shapes below
// 1. Nothing here prints or ends the run: every input has an answer.
//
// Each tail is computed from its own end (the lower one from x, the upper
// one from y = 1 - x), and each quantile is solved from the end it lies
// towards: probabilities close to 0 at either end keep their relative
// accuracy, and points close to 1 keep theirs in 1 - x.

#include <vector>

namespace tbx {

/// A point of [0, 1] as x and 1 - x, each correctly rounded: the one of the
/// two that is computed is exact, the other its complement.
struct BetaPoint {
  double x;
  double y;  ///< 1 - x
};

class RegularizedBeta {
 public:
  /// p, q > 0 and finite.
  RegularizedBeta(double p, double q);

  /// I_x(p, q) for x in [0, 1].
  double cdf(double x) const { return lower_.cdf(x); }
  /// 1 - I_{1-y}(p, q) = I_y(q, p): the probability above 1 - y, y in [0, 1].
  double upper_tail(double y) const { return upper_.cdf(y); }

  /// The x with I_x(p, q) = u, u in [0, 1]. Where u lies close to 1, 1 - u
  /// (exact for a double u >= 1/2) is what fixes the point.
  BetaPoint quantile(double u) const;

 private:
  /// The distribution seen from one end: shapes (a, b) = (p, q) from below,
  /// (q, p) from above; everything that depends on the shapes only.
  class Tail {
   public:
    Tail(double a, double b);
    double cdf(double x) const;
    /// I at the switch point of the continued fraction: quantiles up to it
    /// are solved from this end, those above it from the other.
    double switch_mass() const { return switch_mass_; }
    /// The x with I_x(a, b) = t, for t in [0, switch_mass()].
    double solve(double t) const;

   private:
    struct Point {
      double log_cdf;  ///< ln I_x(a, b)
      double slope;    ///< d ln I / d ln x
    };
    /// ln(x^a (1 - x)^b / B(a, b)), given ln x and ln(1 - x).
    double log_front(double x, double log_x, double log_y) const;
    Point evaluate(double x, double y, double log_x, double log_y) const;
    double first_guess(double t) const;
    /// The iteration for ln I = log_t from ln x = z.
    double solve_from(double log_t, double z) const;
    /// ln x of the root for ln t, interpolated in the table of starts; NaN
    /// outside it.
    double tabulated_start(double log_t) const;
    void tabulate_starts();

    double a_, b_;
    bool large_;  // both shapes large: the front factor relative to its value at the mean
    double log_beta_, mean_x_, mean_y_, log_mean_x_, log_mean_y_, log_scale_;
    double switch_x_;  // below it the fraction converges fast from x, above it from 1 - x
    double switch_mass_;
    // Starting point, both shapes >= 1: a normal approximation.
    bool normal_start_;
    double h_, shape_difference_, log_b_over_a_;
    // Starting point otherwise: power laws of each end.
    double lower_mass_, log_aw_, bw_;
    // Roots at equal steps of ln t up to the switch mass: a start so close
    // that one step of the iteration ends it.
    std::vector<double> start_log_x_;
    double start_log_t0_ = 0.0, start_step_ = 0.0;
  };

  Tail lower_, upper_;
};

}  // namespace tbx
