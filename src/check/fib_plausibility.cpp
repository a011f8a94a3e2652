#include "check/fib_plausibility.hpp"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace tbx {

namespace {

constexpr double INF = HUGE_VAL;
/// A normal variable that cannot be negative may put at most this share of
/// its draws below zero.
constexpr double MAX_NEGATIVE_SHARE = 0.001;
/// The largest coefficient of variation of a variable that cannot be
/// negative: a standard deviation above the mean is no physical scatter.
constexpr double MAX_COV = 1.0;
/// J/(mol K): be is an activation energy over the gas constant.
constexpr double GAS_CONSTANT = 8.314;
constexpr double KELVIN_AT_ZERO_CELSIUS = 273.15;
/// Years: a later time point is most likely given in days or months.
constexpr double MAX_PLAUSIBLE_TIME = 200;

/// Plausible range of a variable's mean.
struct FibRange {
  double low;
  double high;
  bool high_excluded;  ///< alpha stays below 1
  bool non_negative;   ///< a negative draw means nothing physical
};

constexpr std::array<FibRange, FIB_VARIABLES> RANGES = {{
    {10, 200, false, true},      // a, mm
    {0, 50, false, true},        // dx, mm
    {0.01, 100, false, true},    // D_RCM0, 1e-12 m2/s
    {0, 1, true, true},          // alpha
    {1000, 10000, false, true},  // be, K
    {-30, 60, false, false},     // T, deg C
    {0.1, 10, false, true},      // Cs_dx, mass-% of binder
    {0, 1, false, true},         // C0, mass-% of binder
    {0.01, 10, false, true},     // Ccrit, mass-% of binder
    {0.1, 10, false, true},      // kt, 1 for the test method the model is fitted to
}};

const char* name_of(FibVariable v) { return FIB_VARIABLES_INFO[v].name; }

bool in_range(FibVariable v, double x) {
  const FibRange& r = RANGES[v];
  return x >= r.low && (r.high_excluded ? x < r.high : x <= r.high);
}

std::string range_text(FibVariable v) {
  const FibRange& r = RANGES[v];
  const std::string unit = FIB_VARIABLES_INFO[v].unit;
  std::string text = format_value(r.low) + (r.high_excluded ? " to below " : " to ") + format_value(r.high);
  if (unit == "-") return text;
  return text + (std::isdigit(static_cast<unsigned char>(unit[0])) ? " x " : " ") + unit;
}

/// The mean of what the parameters describe, as given (before any cut).
double given_mean(const MomentDistribution& d) {
  return d.kind == MomentKind::uniform ? d.lower + (d.upper - d.lower) / 2 : d.mean;
}

/// The key that holds the mean.
FibKey mean_key(const MomentDistribution& d) {
  switch (d.kind) {
    case MomentKind::uniform: return FIB_LOWER;
    case MomentKind::fixed: return FIB_VALUE;
    case MomentKind::normal:
    case MomentKind::lognormal:
    case MomentKind::beta: break;
  }
  return FIB_MEAN;
}

/// "mean = 10, sd = 2, lower = 0" as the job file would take them.
std::string params_text(const MomentDistribution& d) {
  std::string text;
  const auto add = [&](const char* key, double x) {
    text += (text.empty() ? "" : ", ") + std::string(key) + " = " + format_value(x);
  };
  switch (d.kind) {
    case MomentKind::fixed: add("value", d.mean); return text;
    case MomentKind::uniform: break;
    case MomentKind::normal:
    case MomentKind::lognormal:
    case MomentKind::beta:
      add("mean", d.mean);
      add("sd", d.sd);
      break;
  }
  if (has_lower_bound(d)) add("lower", d.lower);
  if (has_upper_bound(d)) add("upper", d.upper);
  return text;
}

/// A value written in another unit, or with the wrong sign: the job's value
/// is x * scale + shift.
struct Slip {
  double scale;
  double shift;
  std::string text;      ///< what was likely meant, for the value x
  bool rounded = false;  ///< the values it gives are written to four digits
};

std::vector<Slip> slips_of(FibVariable v, double x) {
  std::vector<Slip> slips;
  switch (v) {
    case FIB_A:
      slips.push_back({10, 0, "the cover is in mm: " + format_value(x) + " cm is " + format_value(x * 10) + " mm"});
      slips.push_back({1000, 0, "the cover is in mm: " + format_value(x) + " m is " + format_value(x * 1000) + " mm"});
      break;
    case FIB_D_RCM0:
      slips.push_back({1e12, 0, "the unit is already 1e-12 m2/s: write " + format_value(x * 1e12) + ", not " +
                                    format_value(x)});
      break;
    case FIB_ALPHA:
      slips.push_back({0.01, 0, "alpha is a fraction: " + format_value(x) + " % is " + format_value(x / 100)});
      break;
    case FIB_BE:
      slips.push_back({1000 / GAS_CONSTANT, 0,
                       "be is an activation energy over the gas constant, in K: " + format_value(x) + " kJ/mol is " +
                           format_short(x * 1000 / GAS_CONSTANT) + " K",
                       true});
      break;
    case FIB_T:
      slips.push_back({1, -KELVIN_AT_ZERO_CELSIUS, "the temperature is in degrees C: " + format_value(x) + " K is " +
                                                      format_value(x - KELVIN_AT_ZERO_CELSIUS) + " C"});
      break;
    default: break;
  }
  if (RANGES[v].non_negative && x < 0) {
    slips.push_back({-1, 0, std::string(name_of(v)) + " cannot be negative: write " + format_value(-x)});
  }
  return slips;
}

/// The mean and sd to four significant digits: derived values as the fix
/// prints them, and as they then read back.
MomentDistribution rounded(MomentDistribution d) {
  d.mean = std::strtod(format_short(d.mean).c_str(), nullptr);
  d.sd = std::strtod(format_short(d.sd).c_str(), nullptr);
  return d;
}

std::optional<MomentDistribution> applied(const Slip& slip, MomentDistribution d) {
  const auto move = [&](double x) { return x * slip.scale + slip.shift; };
  d.mean = move(d.mean);
  d.sd *= std::fabs(slip.scale);
  const bool bounds = d.kind == MomentKind::beta || d.kind == MomentKind::uniform || d.truncated;
  if (bounds) {
    d.lower = move(d.lower);
    d.upper = move(d.upper);
    if (d.lower > d.upper) std::swap(d.lower, d.upper);
  }
  if (d.kind == MomentKind::lognormal && !(d.mean > 0)) return std::nullopt;
  return slip.rounded ? rounded(d) : d;
}

/// The distribution of X whose logarithm has the mean and sd that `d` gives
/// for X: what a lognormal variable given by its log parameters stands for.
std::optional<MomentDistribution> from_log_parameters(MomentDistribution d) {
  const double lambda = d.mean, zeta = d.sd;
  if (!(zeta >= 0 && zeta < 3)) return std::nullopt;
  d.mean = std::exp(lambda + zeta * zeta / 2);
  d.sd = d.mean * std::sqrt(std::expm1(zeta * zeta));
  if (!(d.mean > 0 && std::isfinite(d.sd))) return std::nullopt;
  return d;
}

/// The share of the draws below zero.
double negative_share(const MomentDistribution& d) {
  if (d.kind != MomentKind::normal || d.sd <= 0) return 0;
  if (d.truncated && d.lower >= 0) return 0;
  MomentDistribution below = d;
  below.truncated = true;
  below.lower = d.truncated ? d.lower : -INF;
  below.upper = std::min(d.truncated ? d.upper : INF, 0.0);
  return kept_share(below) / kept_share(d);
}

/// Where a proposal would still put too many draws below zero: cut at zero.
MomentDistribution settled(FibVariable v, MomentDistribution d) {
  if (RANGES[v].non_negative && negative_share(d) > MAX_NEGATIVE_SHARE) {
    if (!d.truncated) d.upper = INF;
    d.truncated = true;
    d.lower = 0;
  }
  return d;
}

/// The fix that writes `d`, after the slip `text` that explains it.
std::string write(const std::string& text, FibVariable v, const MomentDistribution& d) {
  const std::string params = params_text(settled(v, d));
  if (text.find("write ") != std::string::npos) return text + " (" + params + ")";
  return text + (text.empty() ? "write " : ": write ") + params;
}

/// The plain distribution behind lognormal log parameters, where its mean is
/// in range as it stands or after a slip of unit; `slip_text` explains the
/// slip.
std::optional<MomentDistribution> plain_in_range(FibVariable v, const MomentDistribution& d, std::string& slip_text) {
  std::optional<MomentDistribution> plain = from_log_parameters(d);
  if (!plain) return std::nullopt;
  plain = rounded(*plain);
  if (in_range(v, plain->mean)) return plain;
  for (const Slip& slip : slips_of(v, plain->mean)) {
    const std::optional<MomentDistribution> fixed = applied(slip, *plain);
    if (fixed && in_range(v, fixed->mean)) {
      slip_text = slip.text;
      return fixed;
    }
  }
  return std::nullopt;
}

/// "-25.33 and 0.2 look like the mean and sd of ln(D_RCM0) ..." and its fix.
std::string log_parameters_fix(FibVariable v, const MomentDistribution& d, const std::string& slip_text,
                               const MomentDistribution& fixed, const char* verb) {
  std::string text = format_value(d.mean) + " and " + format_value(d.sd) + " " + verb + " the mean and sd of ln(" +
                     name_of(v) + "): the job takes those of " + name_of(v) + " itself";
  if (!slip_text.empty()) text += "; " + slip_text;
  return write(text, v, fixed);
}

/// What a draw below zero does in the model.
std::string negative_consequence(FibVariable v) {
  switch (v) {
    case FIB_A: return "a cover at or below dx fails at once";
    case FIB_D_RCM0: return "a coefficient of 0 or below carries no chloride, and the draw counts as safe";
    case FIB_CS_DX: return "a negative content at dx counts as safe";
    case FIB_CCRIT: return "a negative critical content fails at once";
    default: return "a negative value has no physical meaning";
  }
}

void check_mean(FibVariable v, const MomentDistribution& d, std::vector<FibWarning>& out) {
  const double x = given_mean(d);
  if (in_range(v, x)) return;
  FibWarning w;
  w.key = mean_key(d);
  w.problem = std::string(d.kind == MomentKind::fixed ? "a value" : "a mean") + " outside the plausible range of the " +
              FIB_VARIABLES_INFO[v].meaning;
  w.expected = range_text(v);
  for (const Slip& slip : slips_of(v, x)) {
    const std::optional<MomentDistribution> fixed = applied(slip, d);
    if (!fixed || !in_range(v, given_mean(*fixed))) continue;
    w.fix = write(slip.text, v, *fixed);
    w.proposals.push_back(settled(v, *fixed));
    break;
  }
  // A lognormal variable given by the mean and sd of its logarithm, perhaps
  // in another unit as well.
  if (d.kind == MomentKind::lognormal) {
    std::string slip_text;
    if (const std::optional<MomentDistribution> fixed = plain_in_range(v, d, slip_text)) {
      w.fix += (w.fix.empty() ? "" : "; or, if ") +
               log_parameters_fix(v, d, slip_text, *fixed, w.fix.empty() ? "look like" : "are");
      w.proposals.push_back(settled(v, *fixed));
    }
  }
  if (w.fix.empty()) w.fix = std::string("give the ") + FIB_VARIABLES_INFO[v].meaning + " in " + FIB_VARIABLES_INFO[v].unit;
  out.push_back(std::move(w));
}

void check_spread(FibVariable v, const MomentDistribution& d, std::vector<FibWarning>& out) {
  if (d.kind != MomentKind::normal && d.kind != MomentKind::lognormal) return;
  if (!RANGES[v].non_negative || !(d.sd > 0) || !(d.mean > 0)) return;
  const double cov = d.sd / d.mean;
  if (cov > MAX_COV) {
    FibWarning w;
    w.key = FIB_SD;
    w.problem = "a standard deviation of " + format_short(100 * cov) + " % of the mean: no physical scatter of the " +
                FIB_VARIABLES_INFO[v].meaning + " is that wide";
    w.expected = "a standard deviation below the mean";
    if (d.sd < 100) {
      MomentDistribution fixed = d;
      fixed.sd = d.mean * (d.sd / 100);
      w.fix = "if " + format_value(d.sd) + " is the coefficient of variation in %, " + write("", v, fixed);
      w.proposals.push_back(settled(v, fixed));
    } else {
      w.fix = "give the standard deviation in the unit of the mean";
    }
    out.push_back(std::move(w));
    return;
  }
  const double share = negative_share(d);
  if (share <= MAX_NEGATIVE_SHARE) return;
  FibWarning w;
  w.key = FIB_SD;
  w.problem = "a coefficient of variation of " + format_short(cov) + " puts " + format_short(100 * share) +
              " % of the draws below zero: " + negative_consequence(v);
  w.expected = "at most " + format_value(100 * MAX_NEGATIVE_SHARE) + " % of the draws below zero";
  MomentDistribution cut = d;
  cut.truncated = true;
  cut.lower = 0;
  if (!d.truncated) cut.upper = INF;
  MomentDistribution lognormal = d;
  lognormal.kind = MomentKind::lognormal;
  if (d.truncated && d.lower < 0) lognormal.lower = 0;
  w.fix = "cut the distribution at zero (lower = 0); or give it a lognormal distribution of the same mean and sd";
  w.proposals = {cut, lognormal};
  out.push_back(std::move(w));
}

/// The mean of the draws of a cut variable.
double cut_mean(const MomentDistribution& d) {
  const double share = kept_share(d);
  if (d.kind == MomentKind::normal) {
    const auto density = [&](double x) {
      const double z = (x - d.mean) / d.sd;
      constexpr double INV_SQRT_2PI = 0.39894228040143267794;
      return std::isfinite(z) ? INV_SQRT_2PI * std::exp(-0.5 * z * z) : 0.0;
    };
    return d.mean + d.sd * (density(d.lower) - density(d.upper)) / share;
  }
  // E X 1{lower < X < upper} = E X times the share of ln X, shifted by
  // zeta^2, between the logarithms of the bounds.
  const double zeta2 = std::log1p((d.sd / d.mean) * (d.sd / d.mean));
  const double lambda = std::log(d.mean) - zeta2 / 2;
  MomentDistribution shifted{MomentKind::normal, lambda + zeta2, std::sqrt(zeta2), -INF, INF, true};
  if (d.lower > 0) shifted.lower = std::log(d.lower);
  if (d.upper < INF) shifted.upper = std::log(d.upper);
  return d.mean * kept_share(shifted) / share;
}

}  // namespace

std::string fib_cut_note(FibVariable variable, const MomentDistribution& d) {
  if (!d.truncated || d.sd == 0) return "";
  const auto bound = [](double x) { return std::isfinite(x) ? format_value(x) : std::string(x < 0 ? "-inf" : "inf"); };
  return std::string(name_of(variable)) + " " + moment_kind_name(d.kind) + "(" + format_value(d.mean) + ", " +
         format_value(d.sd) + ") cut to [" + bound(d.lower) + ", " + bound(d.upper) + "] keeps " +
         format_short(100 * kept_share(d)) + " % of it: mean " + format_short(cut_mean(d));
}

std::vector<FibWarning> fib_variable_warnings(FibVariable variable, const MomentDistribution& d) {
  std::vector<FibWarning> out;
  check_mean(variable, d, out);
  // A proposal for the mean settles the spread too; parameters of another
  // unit or of the logarithm say nothing about it as they stand.
  if (out.empty() || out.front().proposals.empty()) check_spread(variable, d, out);
  return out;
}

std::string fib_fault_fix(const FibJobFault& fault) {
  if (fault.variable < 0 || !fault.as_written) return "";
  const FibVariable v = static_cast<FibVariable>(fault.variable);
  const MomentDistribution& d = *fault.as_written;
  if (d.kind != MomentKind::lognormal || d.mean > 0 || fault.field != std::string(name_of(v)) + ".mean") return "";
  std::string slip_text;
  const std::optional<MomentDistribution> fixed = plain_in_range(v, d, slip_text);
  return fixed ? log_parameters_fix(v, d, slip_text, *fixed, "look like") : "";
}

namespace {

/// The warning `w` about the variable `v` of the distribution `d`, at the
/// line of its key (of its table where the key has none).
Finding finding_of(FibVariable v, const MomentDistribution& d, const std::array<int, FIB_KEYS>& key_lines,
                   int table_line, FibWarning w) {
  Finding f;
  f.severity = Severity::warning;
  f.line = key_lines[w.key] > 0 ? key_lines[w.key] : table_line;
  f.where = std::string(name_of(v)) + "." + FIB_KEY_NAMES[w.key];
  const double values[FIB_KEYS] = {d.mean, d.sd, d.lower, d.upper, d.mean};
  f.value = format_value(values[w.key]);
  f.problem = std::move(w.problem);
  f.expected = std::move(w.expected);
  f.fix = std::move(w.fix);
  return f;
}

}  // namespace

void check_fib_plausibility(const FibJobDraft& draft, CheckResult& result) {
  const auto warn = [&](FibVariable v, FibWarning w) {
    const FibInput& input = draft.job.inputs[v];
    result.findings.push_back(finding_of(v, input.distribution, input.key_lines, input.line, std::move(w)));
  };
  // A variable refused for its spread or bounds: its mean read all the same.
  std::array<bool, FIB_VARIABLES> seen{};
  for (const FibJobFault& fault : draft.faults) {
    if (fault.variable < 0 || !fault.as_written || seen[fault.variable]) continue;
    const FibVariable v = static_cast<FibVariable>(fault.variable);
    seen[v] = true;
    const MomentDistribution& d = *fault.as_written;
    if (fault.field == std::string(name_of(v)) + "." + FIB_KEY_NAMES[mean_key(d)]) continue;
    std::vector<FibWarning> warnings;
    check_mean(v, d, warnings);
    for (FibWarning& w : warnings) result.findings.push_back(finding_of(v, d, fault.key_lines, fault.line, std::move(w)));
  }
  std::array<bool, FIB_VARIABLES> mean_plausible{};
  for (int i = 0; i < FIB_VARIABLES; ++i) {
    const FibVariable v = static_cast<FibVariable>(i);
    if (!draft.variable_read[v]) continue;
    mean_plausible[v] = in_range(v, given_mean(draft.job.inputs[v].distribution));
    if (draft.job.inputs[v].origin == FibOrigin::preset) continue;
    const std::string note = fib_cut_note(v, draft.job.inputs[v].distribution);
    if (!note.empty()) result.notes.push_back(note);
    for (FibWarning& w : fib_variable_warnings(v, draft.job.inputs[v].distribution)) warn(v, std::move(w));
  }
  if (!draft.faulty("times") && !draft.job.times.empty() && draft.job.times.back() > MAX_PLAUSIBLE_TIME) {
    Finding f;
    f.severity = Severity::warning;
    f.where = "times";
    f.value = format_value(draft.job.times.back());
    f.problem = "the last time is outside the plausible range";
    f.expected = "at most " + format_value(MAX_PLAUSIBLE_TIME) + " years";
    f.fix = "times are in years";
    if (draft.job.times.back() / 365 <= MAX_PLAUSIBLE_TIME) {
      f.fix += ": " + format_value(draft.job.times.back()) + " days is " + format_short(draft.job.times.back() / 365) +
               " years";
    }
    result.findings.push_back(std::move(f));
  }
  // Means out of range are reported as such; compared, they would only
  // repeat it.
  if (mean_plausible[FIB_CCRIT] && mean_plausible[FIB_CS_DX]) {
    const double ccrit = given_mean(draft.job.inputs[FIB_CCRIT].distribution);
    const double cs = given_mean(draft.job.inputs[FIB_CS_DX].distribution);
    if (ccrit >= cs) {
      FibWarning w;
      w.key = mean_key(draft.job.inputs[FIB_CCRIT].distribution);
      w.problem = "the critical content (mean " + format_short(ccrit) + ") is not below the content at dx (mean " +
                  format_short(cs) + "): corrosion can then hardly start";
      w.expected = "Ccrit below Cs_dx";
      w.fix = "check whether Ccrit and Cs_dx were swapped, and that both are in mass-% of binder";
      warn(FIB_CCRIT, std::move(w));
    }
  }
}

}  // namespace tbx
