#include "check/plausibility.hpp"

#include <array>
#include <cctype>
#include <cmath>
#include <optional>

#include "check/describe.hpp"
#include "check/distribution.hpp"
#include "engine/time_series.hpp"
#include "prob/normal.hpp"
#include "summary/summary.hpp"

namespace tbx {

namespace {

constexpr std::array<PlausibleRange, N_VARIABLES> RANGES = {{
    {10, 200, false, true},       // xc, mm
    {0.01, 100, false, true},     // Dcoef, 1e-12 m2/s
    {0.01, 10, false, true},      // Ccr
    {0.01, 10, false, true},      // Cs
    {0, 1, true, false},          // n: n = 1 divides by 1 - n
    {0, 200, false, false},       // t, years
    {1, 36500, false, true},      // to, days
    {-30, 60, false, false},      // temp, degrees C
    {1, 36500, false, true},      // te, days
}};

bool in_range(const PlausibleRange& r, double x) {
  return x >= r.low && (r.high_excluded ? x < r.high : x <= r.high);
}

std::string range_text(int variable) {
  const PlausibleRange& r = plausible_range(variable);
  const std::string_view unit = variable_info(variable).unit;
  std::string text = format_value(r.low) + (r.high_excluded ? " to below " : " to ") + format_value(r.high);
  // "0.01 to 100 x 1e-12 m2/s", "10 to 200 mm"
  if (!unit.empty()) text += (std::isdigit(static_cast<unsigned char>(unit[0])) ? " x " : " ") + std::string(unit);
  return text;
}

/// Lognormal parameters for a given mean and standard deviation.
std::string lognormal_for(double mean, double sd) {
  const double zeta = std::sqrt(std::log1p((sd / mean) * (sd / mean)));
  const double lambda = std::log(mean) - zeta * zeta / 2.0;
  return "first parameter " + format_short(lambda) + ", second " + format_short(zeta);
}

/// A value in another unit: the job's value is x * scale + shift. `text`
/// names the slip for the mean x.
struct UnitSlip {
  double scale;
  double shift;
  std::string text;
};

std::optional<UnitSlip> unit_slip(int variable, double x) {
  const PlausibleRange& r = plausible_range(variable);
  auto would_fit = [&](double y) { return in_range(r, y); };
  switch (variable) {
    case XC:
      if (would_fit(x * 10)) return UnitSlip{10, 0, "the cover is in mm: " + format_short(x) + " cm is " + format_short(x * 10) + " mm"};
      break;
    case DCOEF:
      if (would_fit(x * 1e12)) {
        return UnitSlip{1e12, 0, "the unit is already 1e-12 m2/s: write " + format_short(x * 1e12) + ", not " + format_value(x)};
      }
      break;
    case TEMP:
      if (would_fit(x - 273.15)) {
        return UnitSlip{1, -273.15, "the temperature is in degrees C: " + format_short(x) + " K is " + format_short(x - 273.15) + " C"};
      }
      break;
    case TO:
    case TE:
      if (would_fit(x * 365)) {
        return UnitSlip{365, 0, "ages are in days: " + format_short(x) + " years is " + format_short(x * 365) + " days"};
      }
      break;
    default: break;
  }
  return std::nullopt;
}

/// The likely slip behind a mean out of range, with both parameters as they
/// should read: a fix that, written, raises no further warning.
std::string range_fix(int variable, Distribution type, double a, double b, double mean) {
  if (variable == AGE_N) return "use an age exponent from 0 to below 1 (n = 1 divides by 1 - n in the model)";
  const std::optional<UnitSlip> slip = unit_slip(variable, mean);
  if (!slip) return "check the value and its unit";
  switch (type) {
    case Distribution::deterministic:
    case Distribution::beta: break;
    case Distribution::normal:
      if (slip->scale != 1) {
        return slip->text + "; and the second parameter " + format_value(b * slip->scale) + ", not " + format_value(b);
      }
      break;
    case Distribution::lognormal:
      // The parameters are those of ln x: a change of unit moves the first
      // by ln(scale) and keeps the second; a shift changes both.
      if (slip->shift == 0) {
        return slip->text + "; as lognormal parameters: first parameter " + format_short(a + std::log(slip->scale)) +
               ", not " + format_value(a) + ", and the second unchanged, " + format_value(b);
      }
      return slip->text + "; as lognormal parameters: " +
             lognormal_for(mean * slip->scale + slip->shift, moments_of(type, a, b).sd);
  }
  return slip->text;
}

class Checker {
 public:
  Checker(const JobData& job, const ReadTrace& trace, CheckResult& result)
      : job_(job), trace_(trace), result_(result) {}

  void run() {
    for (int i = 1; i <= N_VARIABLES; ++i) {
      const std::optional<Distribution> known = distribution_from_code(job_.dist_code[i]);
      if (!known) continue;
      const Distribution type = *known;
      if (i == TIME) {
        check_times();
        continue;
      }
      // The profile fit replaces both before anything uses them.
      if (job_.analysis_mode == 2 && (i == DCOEF || i == CS)) continue;
      const double a = job_.dist_param[1][i];
      const double b = job_.dist_param[2][i];
      if (type == Distribution::lognormal || type == Distribution::beta) note_moments(i, type, a, b);
      if (check_shape_parameters(i, type, a, b)) check_range(i, type, a, b);
    }
    check_critical_below_surface();
    check_series_steps();
    const SummaryOptions defaults;
    if (auto f = too_few_simulations(job_.nsim, defaults.target_beta, describe_field(JobField::nsim, 1),
                                     trace_.line_of(JobField::nsim, 1), "the summary's default")) {
      result_.findings.push_back(std::move(*f));
    }
  }

 private:
  void warn(JobField field, int index, std::string problem, std::string expected, std::string fix) {
    Finding f;
    f.severity = Severity::warning;
    f.line = trace_.line_of(field, index);
    f.where = describe_field(field, index);
    f.value = value_text(job_, field, index);
    f.problem = std::move(problem);
    f.expected = std::move(expected);
    f.fix = std::move(fix);
    result_.findings.push_back(std::move(f));
  }

  void note_moments(int i, Distribution type, double a, double b) {
    const Moments m = moments_of(type, a, b);
    const VariableInfo& v = variable_info(i);
    std::string note = std::string(v.name) + " " + std::string(distribution_name(type)) + "(" + format_value(a) + ", " +
                       format_value(b) + "): mean " + format_short(m.mean) + ", sd " + format_short(m.sd);
    if (!v.unit.empty() && i != CCR && i != CS) note += " " + std::string(v.unit);
    result_.notes.push_back(std::move(note));
  }

  /// Warnings about the parameters themselves; false when they are so far
  /// off that a range warning on top would only repeat the point.
  bool check_shape_parameters(int i, Distribution type, double a, double b) {
    const PlausibleRange& r = plausible_range(i);
    switch (type) {
      case Distribution::normal:
      case Distribution::lognormal:
        if (b <= 0) {
          warn(JobField::second_parameter, i, "a standard deviation of 0 or below for a random variable",
               "a standard deviation above 0",
               "give the (positive) standard deviation, or make the variable deterministic (type 7)");
        }
        break;
      case Distribution::beta:
        if (a <= 0 || b <= 0) {
          warn(a <= 0 ? JobField::first_parameter : JobField::second_parameter, i,
               "a beta shape of 0 or below", "both shapes above 0", "give the two shapes a and b of the beta distribution");
          return false;
        }
        break;
      case Distribution::deterministic: break;
    }
    if (type == Distribution::lognormal && r.high > 0 && a > std::log(r.high)) {
      std::string fix = "the parameters are the mean and standard deviation of ln(" +
                        std::string(variable_info(i).name) + ")";
      if (a > 0 && b > 0) fix += "; for a mean of " + format_short(a) + " and a standard deviation of " +
                                 format_short(b) + " write " + lognormal_for(a, b);
      warn(JobField::first_parameter, i,
           "lognormal parameters that look like a mean and a standard deviation: the first parameter is above ln(" +
               format_value(r.high) + ") = " + format_short(std::log(r.high)) + ", a mean of " +
               format_short(moments_of(type, a, b).mean),
           "the mean of ln(" + std::string(variable_info(i).name) + "), at most " + format_short(std::log(r.high)),
           fix);
      return false;
    }
    if (type == Distribution::beta && a < 1 && b < 1 && a + b < 1) {
      const double k = a * (1 - a) / (b * b) - 1;
      std::string fix = "the parameters are the two shapes a and b";
      if (k > 0) {
        fix += "; for a mean of " + format_short(a) + " and a standard deviation of " + format_short(b) +
               " write a = " + format_short(a * k) + ", b = " + format_short((1 - a) * k);
      }
      warn(JobField::first_parameter, i, "beta shapes that look like a mean and a standard deviation (both below 1, sum below 1)",
           "the shapes a and b", fix);
      return false;
    }
    if (type == Distribution::normal && r.must_stay_positive && a > 0 && b > a * MAX_NORMAL_COV) {
      const double negative = 50.0 * std::erfc(a / (b * std::sqrt(2.0)));
      std::string problem = "coefficient of variation " + format_short(b / a) + " above " +
                            format_value(MAX_NORMAL_COV) + ": " + format_short(negative) +
                            " % of the samples are negative";
      if (i == DCOEF) problem += "; each prints a warning and counts as a failure";
      warn(JobField::second_parameter, i, problem,
           "a standard deviation of at most " + format_value(MAX_NORMAL_COV) + " times the mean",
           "use a lognormal distribution (type 1) with the same mean and standard deviation: " + lognormal_for(a, b));
    }
    return true;
  }

  void check_range(int i, Distribution type, double a, double b) {
    const double mean = moments_of(type, a, b).mean;
    if (in_range(plausible_range(i), mean)) return;
    const bool value_given = type == Distribution::normal || type == Distribution::deterministic;
    warn(JobField::first_parameter, i,
         std::string(value_given ? "" : "the mean " + format_short(mean) + " is ") + "outside the plausible range",
         range_text(i), range_fix(i, type, a, b, mean));
  }

  void check_times() {
    const PlausibleRange& r = plausible_range(TIME);
    if (!in_range(r, job_.dist_param[1][TIME])) {
      warn(JobField::first_parameter, TIME, "the first time is outside the plausible range", range_text(TIME),
           "times are in years");
    }
    const double tmax = job_.dist_param[2][TIME];
    if (tmax != 0 && !in_range(r, tmax)) {
      warn(JobField::second_parameter, TIME, "the last time is outside the plausible range", range_text(TIME),
           "times are in years");
    }
  }

  void check_critical_below_surface() {
    if (job_.analysis_mode == 2) return;  // Cs comes from the fit
    const std::optional<Distribution> ccr = distribution_from_code(job_.dist_code[CCR]);
    const std::optional<Distribution> cs = distribution_from_code(job_.dist_code[CS]);
    if (!ccr || !cs) return;
    const double ccr_mean = moments_of(*ccr, job_.dist_param[1][CCR], job_.dist_param[2][CCR]).mean;
    const double cs_mean = moments_of(*cs, job_.dist_param[1][CS], job_.dist_param[2][CS]).mean;
    if (ccr_mean < cs_mean) return;
    warn(JobField::first_parameter, CCR,
         "the critical content (mean " + format_short(ccr_mean) + ") is not below the surface content (mean " +
             format_short(cs_mean) + "): corrosion can then hardly start",
         "Ccr below Cs", "check whether Ccr and Cs were swapped, and that both have the same unit");
  }

  void check_series_steps() {
    const double tmin = job_.dist_param[1][TIME];
    const double tmax = job_.dist_param[2][TIME];
    if (job_.n_intervals < 2 || tmax == 0) return;
    const double step = time_step(tmin, tmax, job_.n_intervals);
    const double first = time_point(1, job_.n_intervals, tmin, step);
    const double second = time_point(2, job_.n_intervals, tmin, step);
    if (first != second) return;
    const double last = time_point(std::int64_t{job_.n_intervals} + 1, job_.n_intervals, tmin, step);
    warn(JobField::n_intervals, 1,
         "the series steps by whole years (" + format_value(step) + " here), so time points 1 and 2 both fall on year " +
             format_value(first) + "; the last point is year " + format_value(last),
         "at most one time point per year",
         "start the series at 1 year or later, or give fewer intervals");
  }

  const JobData& job_;
  const ReadTrace& trace_;
  CheckResult& result_;
};

}  // namespace

std::optional<Finding> too_few_simulations(std::int64_t nsim, double target_beta, std::string where, int line,
                                           const std::string& target_origin) {
  const double pf = normal_cdf(-target_beta);
  const std::int64_t fewest = fewest_simulations(pf);
  if (nsim < 1 || nsim >= fewest) return std::nullopt;  // none at all is an error of its own
  Finding f;
  f.severity = Severity::warning;
  f.line = line;
  f.where = std::move(where);
  f.value = std::to_string(nsim);
  f.problem = "too few simulations for the design cover and the service-life interval of the summary: at " +
              target_origin + " target Beta " + format_value(target_beta) + " (Pf " + format_short(100 * pf) +
              " %) they need at least " + std::to_string(fewest) + "; with fewer both are left out";
  f.expected = "at least " + std::to_string(fewest) + " simulations";
  f.fix = "give at least " + std::to_string(fewest) + " simulations";
  return f;
}

const PlausibleRange& plausible_range(int variable) { return RANGES[static_cast<std::size_t>(variable - 1)]; }

void check_plausibility(const JobData& job, const ReadTrace& trace, CheckResult& result) {
  Checker(job, trace, result).run();
}

}  // namespace tbx
