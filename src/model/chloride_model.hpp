#pragma once
// The chloride-ingress model: the cover xc is the resistance, the depth the
// critical chloride content has reached at exposure time t is the load (see
// chloride_formulas.hpp for the formulas and their order of operations).
// It follows the interface described in limit_state_model.hpp.
//
// Sampling follows the variables in file order, with two extra values drawn
// from the temperature's uniform number: the coefficient factor (analysis
// mode 1), which multiplies Dcoef, and the model factor. A normal or
// lognormal temperature shares that number's inversion.

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/chloride_formulas.hpp"
#include "model/job_data.hpp"
#include "model/limit_state_model.hpp"
#include "prob/sampling.hpp"

namespace tbx {

inline constexpr double DCOEF_FACTOR_MEAN = 0.832;
inline constexpr double DCOEF_FACTOR_STD = 0.024;
inline constexpr double MODEL_FACTOR_MEAN = 1.0;
inline constexpr double MODEL_FACTOR_STD = 0.01;

class ChlorideModel {
 public:
  static constexpr int UNIFORMS = N_VARIABLES;
  /// What S(t) needs of one simulation; te and to in years.
  enum KeptValue : int { DEPTH, PREFIX, MODEL_FACTOR, N_EXPONENT, TE_YEARS, TO_YEARS, U_TIME, KEPT };
  using Kept = std::array<double, KEPT>;

  struct TimePoint {
    double t = 0.0;
    std::optional<VariableSampler> time;  ///< a random exposure time's distribution at t
    /// With n, te, to and the time all fixed, every simulation has this age factor.
    bool age_shared = false;
    double age = 0.0;
  };

  explicit ChlorideModel(const JobData& job);

  const std::array<bool, KEPT>& varies() const { return varies_; }
  const Kept& constant() const { return constant_; }
  SampleNotes sample(const double* u, double& r, Kept& kept) const;
  TimePoint at(double t) const;
  /// `kept` is a Kept, or any view whose [k] gives entry k (the engine reads
  /// its columns in place).
  template <typename KeptValues>
  bool exposure_time(const KeptValues& kept, const TimePoint& point, double& tj, std::int32_t& texts) const {
    tj = point.t;
    return !point.time || point.time->draw(kept[U_TIME], tj, texts);
  }
  template <typename KeptValues>
  double load(const KeptValues& kept, const TimePoint& point, double tj) const {
    double age = point.age;
    if (!point.age_shared) {
      const double n = kept[N_EXPONENT];
      age = age_factor(kept[TE_YEARS], kept[TO_YEARS], 1 - n, n, tj);
    }
    return chloride_load(kept[PREFIX], tj, age, kept[DEPTH], kept[MODEL_FACTOR]);
  }
  // For the summary of a series (see limit_state_model.hpp).
  bool time_random() const { return is_random(time_type_); }
  /// n, te, to and the time all fixed.
  bool age_shared() const;
  double unit_load(double t) const;
  /// One per random input, and column 8 always: it drives the model factor.
  std::vector<RandomSource> sources() const;
  /// Not given: a source may drive several quantities (NaN).
  double variable_value(int, double) const { return std::nan(""); }
  CoverDistribution cover() const;
  /// S is the depth the critical content has reached: the cover itself.
  static constexpr bool COVER_LOAD_IS_LOAD = true;
  template <typename KeptValues>
  double cover_load(const KeptValues& kept, const TimePoint& point, double tj, double /*r*/) const {
    return load(kept, point, tj);
  }

  /// No closed form: the summary searches the time (see initiation.cpp).
  template <typename KeptValues>
  double initiation_time(const KeptValues&, double) const {
    return std::nan("");
  }

  /// I: a negative G, or one that is not a number, is a failure.
  static int indicator(double g) { return failure_indicator(g); }
  /// The two warning lines for a negative sampled Dcoef.
  static void append_warning(std::string& text, double dcoef);

 private:
  std::vector<VariableSampler> samplers_;  // [0..8] for variables 1..9; the time's is per time point
  std::vector<int> normal_variables_;      // drawn from normal_core(u[i]), the time and temp aside
  std::int32_t analysis_mode_;
  std::array<Distribution, N_VARIABLES + 1> types_{};  // [1..9]
  double cover_first_, cover_second_;
  Distribution time_type_;
  double time_second_;
  std::array<bool, KEPT> varies_{};
  Kept constant_{};
};

}  // namespace tbx
