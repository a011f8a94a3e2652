#include "report/summary_files.hpp"

#include <vector>

#include "files/crc32.hpp"
#include "report/file_set.hpp"

namespace tbx {

namespace {

// One list of fields per kind of record, in the order the files show them.

const Fields<RunStamp::Report> REPORT_FIELDS = {
    {"suffix", &RunStamp::Report::suffix},
    {"bytes", [](const RunStamp::Report& r) { return Json::count(r.bytes); }},
    {"crc32", [](const RunStamp::Report& r) { return Json::text(hex32(r.crc32)); }},
};

const Fields<RunStamp> STAMP_FIELDS = {
    {"run", &RunStamp::run},
    {"reports", [](const RunStamp& st) { return records(st.reports, REPORT_FIELDS, Json::Layout::one_line); }},
};

const Fields<Provenance> PROGRAM_FIELDS = {
    {"program", &Provenance::program},
    {"date", &Provenance::date},
    {"job_file", &Provenance::job_file},
    {"job_sha256", &Provenance::job_sha256},
    {"seed", &Provenance::seed},
};

/// One CSV row each: the fields with a unit are its columns, and the units
/// its second header row.
const Fields<TimePointSummary> TIME_POINT_FIELDS = {
    {"t", &TimePointSummary::t, "years"},
    {"failures", &TimePointSummary::failures, "count"},
    {"pf", &TimePointSummary::pf, "%"},
    {"pf_se", &TimePointSummary::pf_se, "%"},
    {"pf_low", &TimePointSummary::pf_low, "%"},
    {"pf_high", &TimePointSummary::pf_high, "%"},
    {"beta", &TimePointSummary::beta, "-"},
    {"beta_low", &TimePointSummary::beta_low, "-"},
    {"beta_high", &TimePointSummary::beta_high, "-"},
    {"beta_cornell", &TimePointSummary::beta_cornell, "-"},
    {"cov", &TimePointSummary::cov, "-"},
    {"nsim_for_cov10", &TimePointSummary::nsim_for_cov10, "count"},
    {"reason", unless_empty(&TimePointSummary::reason)},
};

const Fields<HistogramBin> BIN_FIELDS = {
    {"from", &HistogramBin::from},
    {"to", &HistogramBin::to},
    {"count", &HistogramBin::count},
};

bool initiation_defined(const InitiationSummary& i) { return i.reason.empty(); }

const Fields<InitiationSummary> INITIATION_FIELDS = {
    {"reason", unless_empty(&InitiationSummary::reason)},
    {"quantiles",
     [](const InitiationSummary& i) {
       if (!initiation_defined(i)) return Json();
       Json by_percent = Json::object(Json::Layout::one_line);
       for (const auto& [percent, years] : i.quantiles) by_percent.add(shortest_number(percent), Json::number(years));
       return by_percent;
     }},
    {"quantiles_reason", unless_empty(&InitiationSummary::quantiles_reason)},
    {"censored", when(initiation_defined, &InitiationSummary::censored)},
    {"censored_share", when(initiation_defined, &InitiationSummary::censored_share)},
    {"histogram",
     [](const InitiationSummary& i) {
       return initiation_defined(i) ? records(i.histogram, BIN_FIELDS, Json::Layout::one_line) : Json();
     }},
};

const Fields<ServiceLifeSummary> SERVICE_LIFE_FIELDS = {
    {"target_beta", &ServiceLifeSummary::target_beta},
    {"target_pf", &ServiceLifeSummary::target_pf},
    {"reason", unless_empty(&ServiceLifeSummary::reason)},
    {"years", &ServiceLifeSummary::years},
    {"low", &ServiceLifeSummary::low},
    {"high", &ServiceLifeSummary::high},
    {"kind", &ServiceLifeSummary::kind},
    {"interval_reason", unless_empty(&ServiceLifeSummary::interval_reason)},
    {"definition", "initiation-time quantile at Phi(-target_beta); low/high: distribution-free 95 % interval"},
    {"cornell_years", &ServiceLifeSummary::cornell_years},
    {"cornell_kind", &ServiceLifeSummary::cornell_kind},
    {"cornell_reason", unless_empty(&ServiceLifeSummary::cornell_reason)},
    {"cornell_definition", "where mean(G)/sd(G) falls below target_beta, interpolated between time points"},
};

const Fields<ImportanceFactor> FACTOR_FIELDS = {
    {"variable", &ImportanceFactor::variable},
    {"drives",
     [](const ImportanceFactor& f) {
       Json drives = Json::array(Json::Layout::one_line);
       for (const std::string& d : f.drives) drives.push(Json::text(d));
       return drives;
     }},
    {"rho", &ImportanceFactor::rho},
    {"spearman", &ImportanceFactor::spearman},
    {"alpha", &ImportanceFactor::scaled},
    {"share", &ImportanceFactor::share},
};

const Fields<FormVariable> FORM_VARIABLE_FIELDS = {
    {"variable", &FormVariable::variable},
    {"alpha", &FormVariable::alpha},
    {"u", &FormVariable::u},
    {"value", &FormVariable::value},
};

const Fields<FormSummary> FORM_FIELDS = {
    {"reason", unless_empty(&FormSummary::reason)},
    {"beta", &FormSummary::beta},
    {"pf", &FormSummary::pf},
    {"converged", &FormSummary::converged},
    {"note", unless_empty(&FormSummary::note)},
    {"iterations", &FormSummary::iterations},
    {"evaluations", &FormSummary::evaluations},
    {"variables",
     [](const FormSummary& f) {
       return records(f.variables, FORM_VARIABLE_FIELDS, Json::Layout::lines, Json::Layout::lines_or_bare);
     }},
    {"definition",
     "design point nearest the origin of u = Phi^-1(F(x)); beta signed by G at the medians; alpha = u / beta = "
     "-grad G / |grad G|: positive for a load, negative for a resistance; value: x at the design point, null where "
     "the model does not give it"},
};

const Fields<SobolVariable> SOBOL_VARIABLE_FIELDS = {
    {"variable", &SobolVariable::variable},
    {"first", &SobolVariable::first},
    {"first_low", &SobolVariable::first_low},
    {"first_high", &SobolVariable::first_high},
    {"total", &SobolVariable::total},
    {"total_low", &SobolVariable::total_low},
    {"total_high", &SobolVariable::total_high},
};

const Fields<SobolSummary> SOBOL_FIELDS = {
    {"simulations", &SobolSummary::simulations},
    {"rows", &SobolSummary::rows},
    {"evaluations", &SobolSummary::evaluations},
    {"reason", unless_empty(&SobolSummary::reason)},
    {"variables",
     [](const SobolSummary& so) {
       return records(so.variables, SOBOL_VARIABLE_FIELDS, Json::Layout::lines, Json::Layout::lines_or_bare);
     }},
    {"definition",
     "first-order (Saltelli) and total (Jansen) Sobol indices of G at the design life by pick-freeze sampling; "
     "low/high: 95 % interval of Monte Carlo uncertainty"},
};

const Fields<CoverPoint> COVER_POINT_FIELDS = {
    {"cover", &CoverPoint::cover},
    {"pf", &CoverPoint::pf},
};

/// The mean cover and its curve where a cover distribution applies; its
/// interval where, in addition, nothing stands against it.
bool cover_given(const DesignCoverSummary& d) { return !d.distribution.empty(); }
bool cover_interval(const DesignCoverSummary& d) { return cover_given(d) && d.reason.empty(); }

const Fields<DesignCoverSummary> DESIGN_COVER_FIELDS = {
    {"reason", unless_empty(&DesignCoverSummary::reason)},
    {"distribution", unless_empty(&DesignCoverSummary::distribution)},
    {"mean_cover", when(cover_given, &DesignCoverSummary::mean_cover)},
    {"sd_cover", when(cover_given, &DesignCoverSummary::sd_cover)},
    {"low_cover", when(cover_interval, &DesignCoverSummary::low_cover)},
    {"high_cover", when(cover_interval, &DesignCoverSummary::high_cover)},
    {"interval_reason",
     [](const DesignCoverSummary& d) {
       return cover_interval(d) && !d.interval_reason.empty() ? Json::text(d.interval_reason) : Json();
     }},
    {"curve",
     [](const DesignCoverSummary& d) {
       return cover_given(d) ? records(d.curve, COVER_POINT_FIELDS, Json::Layout::one_line) : Json();
     }},
};

const Fields<Verdict> VERDICT_FIELDS = {
    {"design_life", &Verdict::design_life},
    {"target_beta", &Verdict::target_beta},
    {"failures", &Verdict::failures},
    {"beta", &Verdict::beta},
    {"beta_low", &Verdict::beta_low},
    {"beta_high", &Verdict::beta_high},
    {"outcome", &Verdict::outcome},
    {"settled", &Verdict::settled},
    {"text", [](const Verdict& v) { return Json::text(verdict_text(v)); }},
    {"uncertainty",
     "every interval in this file is the 95 % Monte Carlo interval of the estimate (the number of simulations); "
     "it does not cover the uncertainty of the model or its inputs"},
};

const Fields<ResolvedInput> INPUT_FIELDS = {
    {"variable", &ResolvedInput::name},
    {"unit", &ResolvedInput::unit},
    {"distribution", &ResolvedInput::distribution},
    {nullptr,
     [](const ResolvedInput& in) {
       Json parameters = Json::object();
       for (const auto& [name, value] : in.parameters) parameters.add(name, Json::number(value));
       return parameters;
     }},
    {"from", &ResolvedInput::origin},
    {"preset", unless_empty(&ResolvedInput::preset)},
};

bool has_model(const Summary& s) { return !s.model.empty(); }

const Fields<Summary> SUMMARY_FIELDS = {
    // A classic job has neither a model nor a title.
    {"model", unless_empty(&Summary::model)},
    {"title", when(has_model, &Summary::title)},
    // Which program wrote the file, when, and from which job file: first, so
    // that a reader sees them before the results.
    {nullptr,
     [](const Summary& s) { return s.provenance.program.empty() ? Json() : record(s.provenance, PROGRAM_FIELDS); }},
    {"nsim", &Summary::nsim},
    {"confidence", [](const Summary&) { return Json::number(SUMMARY_CONFIDENCE); }},
    {"design_life", &Summary::design_life},
    {"time_points", [](const Summary& s) { return records(s.time_points, TIME_POINT_FIELDS); }},
    {"initiation", [](const Summary& s) { return record(s.initiation, INITIATION_FIELDS); }},
    {"service_life", [](const Summary& s) { return record(s.service_life, SERVICE_LIFE_FIELDS); }},
    {"importance",
     [](const Summary& s) {
       const ImportanceSummary& i = s.importance;
       return i.reason.empty() ? records(i.factors, FACTOR_FIELDS) : Json::object().add("reason", Json::text(i.reason));
     }},
    {"importance_rho_squared_sum",
     [](const Summary& s) {
       return s.importance.reason.empty() ? Json::number(s.importance.rho_squared_sum) : Json();
     }},
    {"importance_definition",
     "rho: correlation of G with each variable's normal score at the design life; spearman: rank correlation; "
     "alpha = rho / sqrt(importance_rho_squared_sum) and share = 100 alpha^2: the same, forced to add up to 100 %, "
     "not FORM direction cosines"},
    {"form", [](const Summary& s) { return record(s.form, FORM_FIELDS); }},
    {"sobol", [](const Summary& s) { return s.sobol.simulations > 0 ? record(s.sobol, SOBOL_FIELDS) : Json(); }},
    {"design_cover", [](const Summary& s) { return record(s.design_cover, DESIGN_COVER_FIELDS); }},
    {"verdict", [](const Summary& s) { return record(s.verdict, VERDICT_FIELDS); }},
    {"inputs",
     [](const Summary& s) {
       return s.provenance.inputs.empty() ? Json() : records(s.provenance.inputs, INPUT_FIELDS);
     }},
};

/// What every CSV row repeats after its time point: which run wrote it. The
/// run stays the last column, where tools look for it.
struct CsvRun {
  const Summary& summary;
  const RunStamp& stamp;
};

const Fields<CsvRun> CSV_RUN_FIELDS = {
    {"program", [](const CsvRun& r) { return Json::text(r.summary.provenance.program); }, "-"},
    {"seed", [](const CsvRun& r) { return Json::count(r.summary.provenance.seed); }, "-"},
    {"nsim", [](const CsvRun& r) { return Json::count(r.summary.nsim); }, "count"},
    {"job_sha256", [](const CsvRun& r) { return Json::text(r.summary.provenance.job_sha256); }, "-"},
    {"date", [](const CsvRun& r) { return Json::text(r.summary.provenance.date); }, "-"},
    {"run", [](const CsvRun& r) { return Json::text(r.stamp.run); }, "-"},
};

}  // namespace

std::string run_identifier(std::uint32_t reports_crc, const Summary& s) {
  // Without the date: a run that repeats another exactly keeps its
  // identifier on another day.
  Summary undated = s;
  undated.provenance.date.clear();
  return hex32(reports_crc) + hex32(crc32(summary_json(undated)));
}

std::uint32_t reports_crc(const std::vector<RunStamp::Report>& reports) {
  std::string text;
  for (const RunStamp::Report& r : reports) {
    text += r.suffix + " " + std::to_string(r.bytes) + " " + hex32(r.crc32) + "\n";
  }
  return crc32(text);
}

std::string summary_json(const Summary& s, const RunStamp* stamp) {
  Json top = Json::object();
  if (stamp) top.merge(record(*stamp, STAMP_FIELDS));
  top.merge(record(s, SUMMARY_FIELDS));
  std::string out;
  top.write(out, 0);
  return out + "\n";
}

std::string summary_csv(const Summary& s, const RunStamp* stamp) {
  std::vector<std::string> names, units;
  csv_names(names, TIME_POINT_FIELDS);
  csv_units(units, TIME_POINT_FIELDS);
  std::vector<std::string> run;
  if (stamp) {
    csv_names(names, CSV_RUN_FIELDS);
    csv_units(units, CSV_RUN_FIELDS);
    csv_cells(run, CsvRun{s, *stamp}, CSV_RUN_FIELDS);
  }
  std::string out = csv_line(names) + csv_line(units);
  std::vector<std::string> cells;
  for (const TimePointSummary& p : s.time_points) {
    cells.clear();
    csv_cells(cells, p, TIME_POINT_FIELDS);
    cells.insert(cells.end(), run.begin(), run.end());
    out += csv_line(cells);
  }
  return out;
}

std::string summary_json_name(const std::string& base) { return base + "_summary.json"; }
std::string summary_csv_name(const std::string& base) { return base + "_summary.csv"; }

void check_summary_writable(int folder_fd, const std::string& base) {
  // Messages name the files themselves.
  OutputFile::check_writable(folder_fd, summary_json_name(base), summary_json_name(base));
  OutputFile::check_writable(folder_fd, summary_csv_name(base), summary_csv_name(base));
}

void write_summary_files(FileSet& files, const std::string& base, const Summary& s, const RunStamp& stamp) {
  OutputFile& json = files.open(summary_json_name(base), summary_json_name(base));
  json.text() = summary_json(s, &stamp);
  files.finished(json);
  OutputFile& csv = files.open(summary_csv_name(base), summary_csv_name(base));
  csv.text() = summary_csv(s, &stamp);
  files.finished(csv);
}

}  // namespace tbx
