#pragma once
// The fib full-probabilistic model of chloride ingress. Per simulation and
// exposure time t (years), with the cover a and the convection zone dx in mm:
//
//   ke      = exp(be * (1 / 293 - 1 / (T + 273.15)))
//   Dapp(t) = ke * D_RCM0 * kt * (t0 / t)^alpha,  t0 = 0.0767 years
//   C(a, t) = C0 + (Cs_dx - C0) * (1 - erf((a - dx) / (2 * sqrt(Dapp(t) * t))))
//
// where the cover lies in the convection zone (a <= dx), C = Cs_dx. D_RCM0 is
// given in 1e-12 m2/s and taken in mm2 per year (365 days) before the product.
// A diffusion coefficient that is not positive carries no chloride beyond the
// convection zone: C = C0 there. The resistance is Ccrit, the load C(a, t):
// G = Ccrit - C, and a simulation fails where C >= Ccrit.
//
// It follows the interface described in limit_state_model.hpp: one uniform
// number per variable, in the order of FibVariable, each turned into its
// value by the exact inverse distribution function. Nothing is ever printed.

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "model/fib_job.hpp"
#include "model/limit_state_model.hpp"
#include "prob/moment_distribution.hpp"
#include "prob/normal.hpp"

namespace tbx {

inline constexpr double FIB_T0_YEARS = 0.0767;
inline constexpr double FIB_TREF_KELVIN = 293.0;
inline constexpr double CELSIUS_ZERO_KELVIN = 273.15;
/// 1e-12 m2/s in mm2 per year of 365 days.
inline constexpr double RCM_UNIT_MM2_PER_YEAR = 1e-12 * 1e6 * 365 * 24 * 3600;

class FibModel {
 public:
  static constexpr int UNIFORMS = FIB_VARIABLES;
  /// What C(a, t) needs of one simulation: DIFFUSION is ke * D_RCM0 * kt in
  /// mm2 per year.
  enum KeptValue : int { COVER, DX, C0, CS, DIFFUSION, ALPHA, KEPT };
  using Kept = std::array<double, KEPT>;

  struct TimePoint {
    double t = 0.0;
    /// With alpha fixed, every simulation has this (t0 / t)^alpha.
    bool ageing_shared = false;
    double ageing = 0.0;
  };

  explicit FibModel(const FibJob& job);

  const std::array<bool, KEPT>& varies() const { return varies_; }
  const Kept& constant() const { return constant_; }
  SampleNotes sample(const double* u, double& r, Kept& kept) const;
  TimePoint at(double t) const;
  template <typename KeptValues>
  bool exposure_time(const KeptValues&, const TimePoint& point, double& tj, std::int32_t&) const {
    tj = point.t;
    return true;
  }
  /// C(a, t), mass-% of binder.
  template <typename KeptValues>
  double load(const KeptValues& kept, const TimePoint& point, double tj) const {
    const double a = kept[COVER];
    const double dx = kept[DX];
    const double cs = kept[CS];
    if (a <= dx) return cs;
    const double spread = spread_mm2(kept, point, tj);
    const double c0 = kept[C0];
    if (!(spread > 0)) return c0;
    return c0 + (cs - c0) * (1 - std::erf((a - dx) / (2 * std::sqrt(spread))));
  }
  static void append_warning(std::string&, double) {}
  /// Failure where C >= Ccrit, or where G is not a number.
  static int indicator(double g) { return g > 0 ? 0 : 1; }

  // For the summary of a series (see limit_state_model.hpp).
  bool time_random() const { return false; }
  bool age_shared() const { return false; }
  double unit_load(double) const { return std::nan(""); }
  std::vector<RandomSource> sources() const;
  /// The variable of uniform number `column` (1-based) where that number is u.
  double variable_value(int column, double u) const { return samplers_[static_cast<std::size_t>(column - 1)].quantile(u); }
  CoverDistribution cover() const;
  /// The cover load is a depth, the load a content.
  static constexpr bool COVER_LOAD_IS_LOAD = false;
  /// The depth at which C reaches Ccrit at tj: the simulation fails where the
  /// cover is at most this. +infinity where every cover fails, -infinity
  /// where none does. `r` is Ccrit.
  template <typename KeptValues>
  double cover_load(const KeptValues& kept, const TimePoint& point, double tj, double r) const {
    return critical_depth(kept[DX], kept[C0], kept[CS], r, spread_mm2(kept, point, tj));
  }

  /// The time at which C(a, t) reaches Ccrit = r, in closed form: Dapp(t) t
  /// = DIFFUSION t0^alpha t^(1 - alpha) grows as a power of t, and C = Ccrit
  /// where it equals ((a - dx) / (2 z))^2 with 1 - erf(z) = (Ccrit - C0) /
  /// (Cs_dx - C0). NaN where C does not cross Ccrit once from below (alpha
  /// >= 1, no ingress, the cover in the convection zone, Ccrit outside
  /// (C0, Cs_dx)).
  template <typename KeptValues>
  double initiation_time(const KeptValues& kept, double r) const {
    const double a = kept[COVER], dx = kept[DX], c0 = kept[C0], cs = kept[CS];
    const double diffusion = kept[DIFFUSION], alpha = kept[ALPHA];
    if (!(cs > c0 && a > dx && diffusion > 0 && alpha < 1)) return std::nan("");
    const double share = (r - c0) / (cs - c0);
    if (!(share > 0 && share < 1)) return std::nan("");
    const double half_depth = (a - dx) / (2 * erf_argument(share));
    return std::pow(half_depth * half_depth / (diffusion * std::pow(FIB_T0_YEARS, alpha)), 1 / (1 - alpha));
  }

  /// The depth beyond dx at which C0 + (cs - C0) (1 - erf(x / (2 sqrt(spread))))
  /// equals ccrit, plus dx; see cover_load.
  static double critical_depth(double dx, double c0, double cs, double ccrit, double spread);

 private:
  /// z with 1 - erf(z) = share, for 0 < share <= 1:
  /// erfinv(1 - share) = Phi^-1(1 - share / 2) / sqrt(2).
  static double erf_argument(double share) { return normal_quantile_wichura(1 - share / 2) / std::sqrt(2.0); }

  /// Dapp(t) * t, mm2.
  template <typename KeptValues>
  double spread_mm2(const KeptValues& kept, const TimePoint& point, double tj) const {
    const double ageing = point.ageing_shared ? point.ageing : std::pow(FIB_T0_YEARS / tj, kept[ALPHA]);
    const double dapp = kept[DIFFUSION] * ageing;
    return dapp * tj;
  }

  std::vector<MomentSampler> samplers_;  // in the order of FibVariable
  std::array<bool, KEPT> varies_{};
  Kept constant_{};
};

}  // namespace tbx
