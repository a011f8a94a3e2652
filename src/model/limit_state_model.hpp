#pragma once
// What a limit-state model gives the time series, the cycle engine and any
// analysis that follows one simulation through time.
//
// A simulation takes UNIFORMS uniform numbers, in order, from the job's
// generator (simulation j starts after (j - 1) * UNIFORMS draws from the
// seed). From them the model samples its variables once and keeps:
//   - the resistance R, which does not depend on the exposure time;
//   - `Kept`, KEPT doubles from which the load S follows at any exposure time.
// The limit state is G(t) = R - S(t); the simulation fails at t where G(t) is
// negative or not a number. Evaluating G at a time t takes three steps:
// at(t) once for all simulations, exposure_time() for the simulation's own
// time (t itself unless the time is a random variable), then load().
//
// A model type M provides (ChlorideModel is the one there is):
//   static constexpr int UNIFORMS, KEPT;
//   using Kept = std::array<double, KEPT>;
//   struct TimePoint;                    what all simulations share at one time
//   explicit M(const JobData& job);      parameters only; the job may change after
//   const std::array<bool, KEPT>& varies() const;
//                                        which kept entries may differ between
//                                        simulations; the others always equal
//                                        those of constant()
//   const Kept& constant() const;
//   SampleNotes sample(const double* u, double& r, Kept& kept) const;
//                                        u[1..UNIFORMS]: one simulation's numbers
//   TimePoint at(double t) const;
//   bool exposure_time(const K& kept, const TimePoint&, double& tj, std::int32_t& texts) const;
//                                        false where the draw fails; `texts` counts
//                                        continued-fraction texts
//   double load(const K& kept, const TimePoint&, double tj) const;
//                                        K: Kept, or a view whose [k] gives entry k
//   static void append_warning(std::string& text, double value);
//                                        the text of SampleNotes::warns
//   static int indicator(double g);      1 where G means failure, else 0
// and, for the summary of a series:
//   bool time_random() const;            whether the exposure time is drawn
//   bool age_shared() const;             whether S_j(t) = c_j * unit_load(t)
//   double unit_load(double t) const;    (only where age_shared())
//   std::vector<RandomSource> sources() const;
//   CoverDistribution cover() const;
//   double initiation_time(const K& kept, double r) const;
//                                        when G first becomes negative, in
//                                        closed form; NaN: search for it
//   static constexpr bool COVER_LOAD_IS_LOAD;
//                                        whether cover_load() is load()
//   double cover_load(const K& kept, const TimePoint&, double tj, double r) const;
//                                        the cover, mm, below which the
//                                        simulation (resistance r) fails at tj
// Every function is const and touches nothing outside its arguments, so that
// simulations can be evaluated in any order on any thread. Console events are
// returned, not printed: a caller replays them in simulation order.

#include <cstdint>
#include <string>
#include <vector>

namespace tbx {

/// The console events of sampling one simulation, in the order they happen:
/// continued-fraction texts of the variables drawn before the exposure time,
/// those of the exposure time itself (see exposure_time), those after it, and
/// last the model's warning.
struct SampleNotes {
  std::int32_t texts_before_time = 0;
  std::int32_t texts_after_time = 0;
  /// An inversion failed, 1 before the exposure time, 2 after it; nothing
  /// later was sampled and the run ends there.
  std::int8_t fails_at = 0;
  bool warns = false;
  double warning_value = 0.0;
  bool fails() const { return fails_at != 0; }
  bool any() const { return texts_before_time > 0 || texts_after_time > 0 || fails() || warns; }
};

/// A standard normal variable that some of a model's inputs are increasing
/// functions of: one per uniform number that a random input is drawn from.
struct RandomSource {
  std::string variable;             ///< the input's name, as in the job file
  std::vector<std::string> drives;  ///< every quantity drawn from it
  int column = 0;                   ///< of the uniform numbers, 1..UNIFORMS
  bool folded = true;               ///< drawn by the classic normal sampler, whose tails fold
};

/// The distribution of the cover, as the design cover shifts it.
struct CoverDistribution {
  std::string reason;  ///< non-empty where there is none to shift
  bool lognormal = false;
  double sd = 0.0;  ///< mm
};

/// I: a negative G, or one that is not a number, is a failure.
inline int failure_indicator(double g) { return g >= 0 ? 0 : 1; }

}  // namespace tbx
