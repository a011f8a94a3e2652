#include "fib/fib_report.hpp"

#include <cctype>
#include <cmath>
#include <cstdint>

#include "core/number_format.hpp"
#include "summary/summary_files.hpp"

namespace tbx {

namespace {

/// `text` left-aligned in a column of `width` (at least one space after).
void cell(std::string& out, const std::string& text, std::size_t width) {
  out += text;
  out.append(text.size() < width ? width - text.size() : 1, ' ');
}

std::string fixed(double value, int precision) {
  std::string out;
  append_fixed(out, value, 0, precision);
  return out;
}

/// Fixed-point values up to this magnitude; beyond it (a time or an index
/// far outside engineering ranges) four significant digits, so that no
/// number runs to hundreds of digits or into the next column.
constexpr double FIXED_BELOW = 1e9;

std::string bounded(double value, int precision) {
  return std::fabs(value) < FIXED_BELOW ? fixed(value, precision) : shortest_text(value, 4);
}

/// Years with two decimals; "-" where there is no value.
std::string years(double value) { return std::isfinite(value) ? bounded(value, 2) : "-"; }

/// The word a table prints where a value is not a finite number.
constexpr const char* NO_VALUE = "none";

/// `value` right-aligned in `width` columns; NO_VALUE where it is not a
/// finite number. Returns whether it was a number.
bool number_cell(std::string& line, double value, int width, int precision) {
  std::string text = std::isfinite(value) ? bounded(value, precision) : NO_VALUE;
  if (text.size() < static_cast<std::size_t>(width)) text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  line += text;
  return std::isfinite(value);
}

void heading(std::string& out, const std::string& title) {
  out += "\n" + title + "\n" + std::string(title.size(), '-') + "\n";
}

std::string origin_text(const FibInput& input) {
  switch (input.origin) {
    case FibOrigin::job: return "job file";
    case FibOrigin::preset: return "preset (" + input.preset + ")";
    case FibOrigin::overridden: return "job file, overrides preset (" + input.preset + ")";
  }
  return "";
}

void inputs_table(std::string& out, const FibJob& job) {
  heading(out, "Inputs");
  cell(out, "variable", 10);
  cell(out, "unit", 18);
  cell(out, "distribution", 14);
  cell(out, "mean", 10);
  cell(out, "sd", 10);
  cell(out, "lower", 8);
  cell(out, "upper", 8);
  out += "from\n";
  for (std::size_t i = 0; i < job.inputs.size(); ++i) {
    const FibInput& input = job.inputs[i];
    const MomentDistribution& d = input.distribution;
    // A uniform variable is given by its bounds alone.
    const bool has_mean = d.kind != MomentKind::uniform;
    const bool has_sd = has_mean && d.kind != MomentKind::fixed;
    cell(out, FIB_VARIABLES_INFO[i].name, 10);
    cell(out, FIB_VARIABLES_INFO[i].unit, 18);
    cell(out, moment_kind_name(d.kind), 14);
    cell(out, has_mean ? shortest_number(d.mean) : "", 10);
    cell(out, has_sd ? shortest_number(d.sd) : "", 10);
    cell(out, has_lower_bound(d) ? shortest_number(d.lower) : "", 8);
    cell(out, has_upper_bound(d) ? shortest_number(d.upper) : "", 8);
    out += origin_text(input) + "\n";
  }
}

void time_table(std::string& out, const Summary& s) {
  heading(out, "Time points");
  out +=
      "  t [years]   failures    Pf [%]  Pf low [%]  Pf high [%]     Beta  Beta low  Beta high  mean(G)/sd(G)\n";
  bool any_missing = false;
  for (const TimePointSummary& p : s.time_points) {
    std::string line;
    bool numbers = number_cell(line, p.t, 11, 2);
    append_int(line, p.failures, 11);
    numbers = number_cell(line, p.pf, 10, 4) && numbers;
    numbers = number_cell(line, p.pf_low, 12, 4) && numbers;
    numbers = number_cell(line, p.pf_high, 13, 4) && numbers;
    numbers = number_cell(line, p.beta, 9, 3) && numbers;
    numbers = number_cell(line, p.beta_low, 10, 3) && numbers;
    numbers = number_cell(line, p.beta_high, 11, 3) && numbers;
    numbers = number_cell(line, p.beta_cornell, 15, 3) && numbers;
    out += line + "\n";
    any_missing = any_missing || !numbers;
  }
  if (any_missing) {
    out += "\n" + std::string(NO_VALUE) +
           ": no finite value. Beta, Beta low and Beta high are infinite where Pf or the end of its\n"
           "interval they come from is 0 or 100 %; mean(G)/sd(G) is not defined where G does not vary\n"
           "(its sd is no larger than the rounding of its mean), is not a finite number or comes from\n"
           "one simulation.\n";
  }
  out +=
      "\nBeta = -Phi^-1(Pf), the reliability index of the codes; low and high: the 95 % Monte Carlo\n"
      "interval of Pf (Clopper-Pearson) and the indices at its ends. mean(G)/sd(G) is the index of the\n"
      "mean and standard deviation of G (Cornell's), for comparison.\n";
}

void service_life_text(std::string& out, const FibJob& job, const Summary& s) {
  const ServiceLifeSummary& life = s.service_life;
  heading(out, "Service life (start of corrosion)");
  out += "Target Beta " + shortest_number(life.target_beta) + ", Pf " + fixed(life.target_pf, 2) + " %: ";
  if (!life.reason.empty()) {
    out += "not defined: " + life.reason + "\n";
  } else if (std::isnan(life.years)) {
    out += "not reached by the last time point, " + shortest_number(job.times.back()) + " years\n";
  } else if (life.kind == "at_start") {
    out += "at most " + years(life.years) + " years: Pf at the first time point already exceeds the target\n";
  } else {
    out += years(life.years) + " years, 95 % Monte Carlo interval " + years(life.low) + " to " + years(life.high) +
           " years\n";
    if (!life.interval_reason.empty()) out += "  -: " + life.interval_reason + "\n";
  }
  if (!s.initiation.reason.empty()) return;
  out += "Initiation time quantiles [years]:";
  for (const auto& [percent, value] : s.initiation.quantiles) out += " " + shortest_number(percent) + " %: " + years(value) + ";";
  out.pop_back();
  if (!s.initiation.quantiles_reason.empty()) out += "\n  -: " + s.initiation.quantiles_reason;
  out += "\nNot initiated by " + shortest_number(job.times.back()) + " years: " +
         fixed(100 * s.initiation.censored_share, 2) + " %\n";
}

void design_cover_text(std::string& out, const Summary& s) {
  const DesignCoverSummary& d = s.design_cover;
  heading(out, "Design cover at " + shortest_number(s.design_life) + " years");
  if (!d.reason.empty()) {
    out += "Not computed: " + d.reason + "\n";
  } else if (std::isnan(d.mean_cover)) {
    out += "No mean cover reaches the target.\n";
  } else {
    out += "Mean cover for the target: " + bounded(d.mean_cover, 1) + " mm (" + d.distribution + ", sd " +
           shortest_number(d.sd_cover) + " mm, the other variables as given)\n";
    out += "95 % Monte Carlo interval: " + (std::isnan(d.low_cover) ? std::string("-") : bounded(d.low_cover, 1)) +
           " to " + (std::isnan(d.high_cover) ? std::string("-") : bounded(d.high_cover, 1)) + " mm\n";
    if (!d.interval_reason.empty()) out += "  -: " + d.interval_reason + "\n";
  }
}

void verdict_text_section(std::string& out, const Summary& s) {
  heading(out, "Verdict at " + shortest_number(s.design_life) + " years");
  std::string text = verdict_text(s.verdict);
  text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  out += text + ".\n";
  out +=
      "Every interval in this report is the 95 % Monte Carlo interval of its estimate (it narrows with\n"
      "more simulations); none covers the uncertainty of the model or of its inputs.\n";
}

void importance_text(std::string& out, const Summary& s) {
  heading(out, "Importance at " + shortest_number(s.design_life) + " years");
  const ImportanceSummary& im = s.importance;
  const FormSummary& form = s.form;
  if (!form.reason.empty()) {
    out += "FORM: no design point: " + form.reason + "\n";
  } else {
    out += "FORM: beta " + bounded(form.beta, 3) + " (Pf " + shortest_text(form.pf, 3) + " %), " +
           (form.converged ? "converged in " + std::to_string(form.iterations) + " iterations"
                           : "NOT converged: " + form.note) +
           "\n";
  }
  if (!im.reason.empty()) out += "Correlation: Not computed: " + im.reason + "\n";
  const std::size_t rows = !im.reason.empty() ? form.variables.size() : im.factors.size();
  if (rows > 0) {
    out += "\nvariable  FORM alpha  alpha^2 [%]  design point   corr. rho  rho^2 [%]  Spearman\n";
    for (std::size_t i = 0; i < rows; ++i) {
      std::string line;
      const bool has_form = i < form.variables.size();
      const bool has_rho = im.reason.empty() && i < im.factors.size();
      cell(line, has_rho ? im.factors[i].variable : form.variables[i].variable, 9);
      number_cell(line, has_form ? form.variables[i].alpha : std::nan(""), 11, 3);
      number_cell(line, has_form ? 100 * form.variables[i].alpha * form.variables[i].alpha : std::nan(""), 13, 1);
      number_cell(line, has_form ? form.variables[i].value : std::nan(""), 14, 4);
      number_cell(line, has_rho ? im.factors[i].rho : std::nan(""), 12, 3);
      number_cell(line, has_rho ? 100 * im.factors[i].rho * im.factors[i].rho : std::nan(""), 11, 1);
      number_cell(line, has_rho ? im.factors[i].spearman : std::nan(""), 10, 3);
      out += line + "\n";
    }
  }
  if (im.reason.empty()) {
    out += "Sum of rho^2: " + fixed(im.rho_squared_sum, 3) + " (1 where G is linear in normal variables)\n";
  }
  out +=
      "FORM alpha = u*/beta at the design point u* = Phi^-1(F(x*)): positive for a load, negative for a\n"
      "resistance; the alpha^2 add up to 100 %. rho: correlation of G with each variable's normal score\n"
      "over the simulations (positive for a resistance); Spearman: its rank correlation.\n";
  const SobolSummary& so = s.sobol;
  if (so.simulations <= 0) return;
  out += "\nSobol indices (" + std::to_string(so.simulations) + " simulations per sample, " +
         std::to_string(so.evaluations) + " evaluations of G)\n";
  if (!so.reason.empty()) {
    out += "Not computed: " + so.reason + "\n";
    return;
  }
  out += "variable    first  95 % interval        total  95 % interval\n";
  for (const SobolVariable& v : so.variables) {
    std::string line;
    cell(line, v.variable, 9);
    number_cell(line, v.first, 8, 3);
    line += "  ";
    std::string interval = "[" + fixed(v.first_low, 3) + ", " + fixed(v.first_high, 3) + "]";
    cell(line, interval, 17);
    number_cell(line, v.total, 8, 3);
    line += "  [" + fixed(v.total_low, 3) + ", " + fixed(v.total_high, 3) + "]";
    out += line + "\n";
  }
  out += "first: share of the variance of G due to the variable alone; total: with all its interactions.\n"
         "Intervals: Monte Carlo uncertainty of the estimate only.\n";
}

}  // namespace

std::string fib_report_name(const std::string& base) { return base + "_report.txt"; }

std::string fib_report(const FibJob& job, const std::string& file_name, const Summary& s) {
  std::string out = "fib chloride ingress: " + job.title + "\n";
  out += std::string(out.size() - 1, '=') + "\n\n";
  const Provenance& p = s.provenance;
  out += "Program       " + p.program + "\n";
  out += "Date          " + p.date + "\n";
  out += "Job file      " + file_name + "\n";
  out += "Job SHA-256   " + p.job_sha256 + "\n";
  out += "Simulations   " + std::to_string(job.simulations) + "\n";
  out += "Seed          " + std::to_string(job.seed) + "\n";
  out += "Binder        " + (job.binder.empty() ? std::string("not given") : job.binder) + "\n";
  out += "Exposure      " + (job.exposure.empty() ? std::string("not given") : job.exposure) + "\n";
  inputs_table(out, job);
  out +=
      "\nC(a, t) = C0 + (Cs_dx - C0) * (1 - erf((a - dx) / (2 * sqrt(Dapp(t) * t)))), C = Cs_dx where a <= dx\n"
      "Dapp(t) = ke * D_RCM0 * kt * (t0 / t)^alpha, ke = exp(be * (1/293 - 1/(T + 273.15))), t0 = 0.0767 years\n"
      "Corrosion starts where C(a, t) >= Ccrit: G = Ccrit - C.\n";
  time_table(out, s);
  service_life_text(out, job, s);
  design_cover_text(out, s);
  verdict_text_section(out, s);
  importance_text(out, s);
  return out;
}

}  // namespace tbx
