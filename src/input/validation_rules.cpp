#include "input/validation_rules.hpp"

#include <algorithm>

#include "prob/random.hpp"

namespace tbx {

namespace {

enum class Scope {
  job,            ///< tested once
  variable,       ///< tested for each of the nine variables in turn
  profile_point,  ///< a group tested point by point over the measured points
};

struct Rule {
  Scope scope;
  std::string_view message;
  int report_line;
  /// 0 while the rule holds, else the position of the value at fault.
  int (*broken)(const JobData& job, int i);
  JobField field;
  std::string_view expected;
  std::string_view fix;
  bool console_note = false;
};

int when(bool broken, int index = 1) { return broken ? index : 0; }

double tmin(const JobData& job) { return job.dist_param[1][TIME]; }
double tmax(const JobData& job) { return job.dist_param[2][TIME]; }

/// The run stops at a wrong number of points before the profile is walked;
/// a walk to the end still looks at no more than the twelve points there are.
int points_in_use(const JobData& job) { return std::min<std::int32_t>(job.n_points, N_PROFILE); }

/// Rule 6 reports a fixed line, whatever line the value stood on.
constexpr int PROFILE_NOT_NULL_LINE = 2;

const Rule RULES[] = {
    {Scope::job, "Error: Diffusion coefficient parameter invalid.", 0,
     [](const JobData& j, int) { return when(j.analysis_mode < 0 || j.analysis_mode > 2); },
     JobField::analysis_mode, "0 (Dcoef as given), 1 (coefficient factor) or 2 (profile fit)",
     "write 0, 1 or 2"},
    {Scope::job, "Error: Intial seed parameter invalid.", 0,
     [](const JobData& j, int) { return when(j.seed_mode != 0 && j.seed_mode != 1); },
     JobField::seed_mode, "0 (the seed in the file) or 1 (the clock)", "write 0 or 1"},
    {Scope::job, "Error: Time serious must be greater or equal to 1", 0,
     [](const JobData& j, int) { return when(j.n_intervals < 1); }, JobField::n_intervals,
     "1 or more", "write 1 for a single time point, or the number of steps of the series"},
    {Scope::job, "Error: Minimum profile data invalid.", 0,
     [](const JobData& j, int) { return when(j.analysis_mode == 2 && j.n_points < 5); },
     JobField::n_points, "5 to 12 measured points with analysis mode 2",
     "give at least 5 profile points, or use analysis mode 0"},
    {Scope::job, "Error: Maximum profile data invalid.", 0,
     [](const JobData& j, int) { return when(j.analysis_mode == 2 && j.n_points > N_PROFILE); },
     JobField::n_points, "5 to 12 measured points with analysis mode 2", "use at most 12 points"},
    {Scope::job, "Error: Profile data must be null.", PROFILE_NOT_NULL_LINE,
     [](const JobData& j, int) { return when(j.analysis_mode != 2 && j.n_points > 0); },
     JobField::n_points, "0 unless the analysis mode is 2 (profile fit)",
     "write 0, or set the analysis mode to 2 to fit the profile"},
    {Scope::variable, "Error: Invalid distribution type", 0,
     [](const JobData& j, int i) { return when(!distribution_from_code(j.dist_code[i]), i); },
     JobField::dist_type, "0 normal, 1 lognormal, 2 beta or 7 deterministic",
     "write one of the codes 0, 1, 2 or 7"},
    {Scope::profile_point, "Error: Profile depth values must be positive", 0,
     [](const JobData& j, int i) { return when(j.profile_depth[i] < 0.0, i); }, JobField::profile_depth,
     "a depth of 0 cm or more", "write the depth below the surface in cm, without sign"},
    {Scope::profile_point, "Error: Profile [Cl] values must be positive", 0,
     [](const JobData& j, int i) { return when(j.profile_cl[i] < 0.0, i); }, JobField::profile_cl,
     "a content of 0 or more", "write the measured content without sign"},
    {Scope::profile_point, "Error: Profile depth values must decrease in order", 0,
     [](const JobData& j, int i) {
       return when(i < points_in_use(j) && j.profile_depth[i + 1] < j.profile_depth[i], i + 1);
     },
     JobField::profile_depth, "depths that do not decrease from one point to the next",
     "list the points from the surface inwards"},
    {Scope::job, "Error: Number of simulations must be positive", 0,
     [](const JobData& j, int) { return when(j.nsim < 0); }, JobField::nsim, "0 or more",
     "write the number of simulations per time point, e.g. 10000"},
    {Scope::job, "Error: First time parameter must be greater or equal to 1", 0,
     [](const JobData& j, int) { return when(j.n_intervals == 1 && tmin(j) < 1.0, TIME); },
     JobField::first_parameter, "1 year or more for a single time point (1 interval)",
     "write the time in years, 1 or more"},
    {Scope::job, "Error: Second time parameter must be equal to 0", 0,
     [](const JobData& j, int) { return when(j.n_intervals == 1 && tmax(j) != 0.0, TIME); },
     JobField::second_parameter, "0 for a single time point (1 interval)",
     "write 0, or give more than 1 interval for a series up to this time"},
    {Scope::job, "Error: Maximum time must be greater than minimum", 0,
     [](const JobData& j, int) {
       return when(j.n_intervals != 1 && tmax(j) > 0.0 && tmax(j) < tmin(j), TIME);
     },
     JobField::second_parameter, "a last time not below the first time",
     "swap the first and the last time of t", true},
    {Scope::job, "Error: Time series parameter must be equal to 1", 0,
     [](const JobData& j, int) { return when(j.n_intervals > 1 && tmax(j) == 0.0, TIME); },
     JobField::second_parameter, "the last time of the series (not 0) with more than 1 interval",
     "write the last time in years, or set the number of intervals to 1 for a single time point"},
    {Scope::job, "Error: Invalid age for profile prediction", 0,
     [](const JobData& j, int) { return when(j.predict_profile == 1 && j.tp < 1.0); }, JobField::tp,
     "1 day or more when profiles are predicted", "write the prediction age in days"},
    // A seed the generator maps to a fixed point would make every draw equal;
    // a clock seed replaces the file's seed later and is not judged here.
    {Scope::job, "Error: Initial seed gives a constant random sequence", 0,
     [](const JobData& j, int) { return when(j.seed_mode == 0 && seed_is_stuck(j.seed)); },
     JobField::seed, "a seed that gives a varying random sequence", "choose another seed"},
};

void visit(const Rule& rule, const JobData& job, int i, const std::function<void(const Violation&)>& found) {
  const int index = rule.broken(job, i);
  if (index == 0) return;
  found(Violation{rule.message, rule.report_line, rule.console_note, rule.field, index, rule.expected,
                  rule.fix});
}

}  // namespace

void for_each_violation(const JobData& job, const std::function<void(const Violation&)>& found) {
  const int points = points_in_use(job);
  const std::size_t count = std::size(RULES);
  for (std::size_t r = 0; r < count;) {
    const Rule& rule = RULES[r];
    if (rule.scope == Scope::profile_point) {
      std::size_t end = r;
      while (end < count && RULES[end].scope == Scope::profile_point) ++end;
      for (int i = 1; i <= points; ++i) {
        for (std::size_t k = r; k < end; ++k) visit(RULES[k], job, i, found);
      }
      r = end;
      continue;
    }
    if (rule.scope == Scope::variable) {
      for (int i = 1; i <= N_VARIABLES; ++i) visit(rule, job, i, found);
    } else {
      visit(rule, job, 1, found);
    }
    ++r;
  }
}

}  // namespace tbx
