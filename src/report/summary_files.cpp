#include "report/summary_files.hpp"

#include <cmath>

#include "core/json_string.hpp"
#include "core/number_format.hpp"
#include "files/crc32.hpp"
#include "report/file_set.hpp"

namespace tbx {

namespace {

/// Builds one JSON object's members: key(...) then the value.
class Members {
 public:
  explicit Members(std::string& out, int indent) : out_(out), indent_(indent) {}
  Members& key(const char* name) {
    out_ += first_ ? "\n" : ",\n";
    first_ = false;
    out_.append(static_cast<std::size_t>(indent_), ' ');
    out_ += json_string(name);
    out_ += ": ";
    return *this;
  }
  Members& number(const char* name, double v) {
    key(name);
    out_ += shortest_number(v);
    return *this;
  }
  Members& count(const char* name, std::int64_t v) {
    key(name);
    out_ += std::to_string(v);
    return *this;
  }
  Members& text(const char* name, const std::string& v) {
    key(name);
    out_ += json_string(v);
    return *this;
  }
  void close() {
    out_ += "\n";
    out_.append(static_cast<std::size_t>(indent_ - 2), ' ');
    out_ += "}";
  }

 private:
  std::string& out_;
  int indent_;
  bool first_ = true;
};

void time_point_json(std::string& out, const TimePointSummary& p) {
  out += "{";
  Members m(out, 6);
  m.number("t", p.t)
      .count("failures", p.failures)
      .number("pf", p.pf)
      .number("pf_se", p.pf_se)
      .number("pf_low", p.pf_low)
      .number("pf_high", p.pf_high)
      .number("beta", p.beta)
      .number("beta_low", p.beta_low)
      .number("beta_high", p.beta_high)
      .number("beta_cornell", p.beta_cornell)
      .number("cov", p.cov)
      .number("nsim_for_cov10", p.nsim_for_cov10);
  if (!p.reason.empty()) m.text("reason", p.reason);
  m.close();
}

// ---- The verdict and the provenance of a run, in the JSON and the CSV ----

/// Which program wrote the file, when, and from which job file: the first
/// members, so that a reader sees them before the results.
void program_json(Members& top, const Provenance& p) {
  if (p.program.empty()) return;
  top.text("program", p.program).text("date", p.date).text("job_file", p.job_file).text("job_sha256", p.job_sha256);
  top.count("seed", p.seed);
}

void verdict_and_provenance_json(std::string& out, Members& top, const Summary& s) {
  top.key("verdict");
  out += "{";
  {
    const Verdict& v = s.verdict;
    Members m(out, 4);
    m.number("design_life", v.design_life).number("target_beta", v.target_beta).count("failures", v.failures);
    m.number("beta", v.beta).number("beta_low", v.beta_low).number("beta_high", v.beta_high);
    m.text("outcome", v.outcome).key("settled");
    out += v.settled ? "true" : "false";
    m.text("text", verdict_text(v));
    m.text("uncertainty", "every interval in this file is the 95 % Monte Carlo interval of the estimate (the "
                          "number of simulations); it does not cover the uncertainty of the model or its inputs");
    m.close();
  }
  if (s.provenance.inputs.empty()) return;
  top.key("inputs");
  out += "[";
  for (std::size_t i = 0; i < s.provenance.inputs.size(); ++i) {
    const ResolvedInput& in = s.provenance.inputs[i];
    out += i == 0 ? "\n    {" : ",\n    {";
    Members m(out, 6);
    m.text("variable", in.name).text("unit", in.unit).text("distribution", in.distribution);
    for (const auto& [name, value] : in.parameters) m.number(name.c_str(), value);
    m.text("from", in.origin);
    if (!in.preset.empty()) m.text("preset", in.preset);
    m.close();
  }
  out += "\n  ]";
}

/// The provenance columns of the CSV, before "run": the same in every row.
constexpr const char* PROVENANCE_COLUMNS = ",program,seed,nsim,job_sha256,date";
constexpr const char* PROVENANCE_UNITS = ",-,-,count,-,-";

std::string provenance_cells(const Summary& s) {
  const Provenance& p = s.provenance;
  return "," + p.program + "," + std::to_string(p.seed) + "," + std::to_string(s.nsim) + "," + p.job_sha256 + "," +
         p.date;
}

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
  std::string out = "{";
  Members top(out, 2);
  if (stamp) {
    top.text("run", stamp->run);
    top.key("reports");
    out += "[";
    for (std::size_t i = 0; i < stamp->reports.size(); ++i) {
      const RunStamp::Report& r = stamp->reports[i];
      out += i == 0 ? "\n    " : ",\n    ";
      out += "{\"suffix\": " + json_string(r.suffix) + ", \"bytes\": " + std::to_string(r.bytes) +
             ", \"crc32\": " + json_string(hex32(r.crc32)) + "}";
    }
    out += "\n  ]";
  }
  if (!s.model.empty()) top.text("model", s.model).text("title", s.title);
  program_json(top, s.provenance);
  top.count("nsim", s.nsim).number("confidence", SUMMARY_CONFIDENCE).number("design_life", s.design_life);

  top.key("time_points");
  out += "[";
  for (std::size_t i = 0; i < s.time_points.size(); ++i) {
    out += i == 0 ? "\n    " : ",\n    ";
    time_point_json(out, s.time_points[i]);
  }
  out += "\n  ]";

  top.key("initiation");
  out += "{";
  {
    Members m(out, 4);
    if (!s.initiation.reason.empty()) {
      m.text("reason", s.initiation.reason);
    } else {
      m.key("quantiles");
      out += "{";
      for (std::size_t i = 0; i < s.initiation.quantiles.size(); ++i) {
        out += i == 0 ? "" : ", ";
        out += json_string(shortest_number(s.initiation.quantiles[i].first)) + ": " +
               shortest_number(s.initiation.quantiles[i].second);
      }
      out += "}";
      if (!s.initiation.quantiles_reason.empty()) m.text("quantiles_reason", s.initiation.quantiles_reason);
      m.count("censored", s.initiation.censored).number("censored_share", s.initiation.censored_share);
      m.key("histogram");
      out += "[";
      for (std::size_t i = 0; i < s.initiation.histogram.size(); ++i) {
        const HistogramBin& b = s.initiation.histogram[i];
        out += i == 0 ? "\n      " : ",\n      ";
        out += "{\"from\": " + shortest_number(b.from) + ", \"to\": " + shortest_number(b.to) +
               ", \"count\": " + std::to_string(b.count) + "}";
      }
      out += "\n    ]";
    }
    m.close();
  }

  top.key("service_life");
  out += "{";
  {
    const ServiceLifeSummary& l = s.service_life;
    Members m(out, 4);
    m.number("target_beta", l.target_beta).number("target_pf", l.target_pf);
    if (!l.reason.empty()) m.text("reason", l.reason);
    m.number("years", l.years).number("low", l.low).number("high", l.high).text("kind", l.kind);
    if (!l.interval_reason.empty()) m.text("interval_reason", l.interval_reason);
    m.text("definition", "initiation-time quantile at Phi(-target_beta); low/high: distribution-free 95 % interval");
    m.number("cornell_years", l.cornell_years).text("cornell_kind", l.cornell_kind);
    if (!l.cornell_reason.empty()) m.text("cornell_reason", l.cornell_reason);
    m.text("cornell_definition", "where mean(G)/sd(G) falls below target_beta, interpolated between time points");
    m.close();
  }

  top.key("importance");
  if (!s.importance.reason.empty()) {
    out += "{";
    Members m(out, 4);
    m.text("reason", s.importance.reason);
    m.close();
  } else {
    out += "[";
    for (std::size_t i = 0; i < s.importance.factors.size(); ++i) {
      const ImportanceFactor& f = s.importance.factors[i];
      out += i == 0 ? "\n    {" : ",\n    {";
      Members m(out, 6);
      m.text("variable", f.variable);
      m.key("drives");
      out += "[";
      for (std::size_t k = 0; k < f.drives.size(); ++k) out += (k == 0 ? "" : ", ") + json_string(f.drives[k]);
      out += "]";
      m.number("rho", f.rho).number("spearman", f.spearman);
      m.number("alpha", f.scaled).number("share", f.share);
      m.close();
    }
    out += "\n  ]";
    top.number("importance_rho_squared_sum", s.importance.rho_squared_sum);
  }
  top.text("importance_definition",
           "rho: correlation of G with each variable's normal score at the design life; spearman: rank "
           "correlation; alpha = rho / sqrt(importance_rho_squared_sum) and share = 100 alpha^2: the same, "
           "forced to add up to 100 %, not FORM direction cosines");
  top.key("form");
  out += "{";
  {
    const FormSummary& f = s.form;
    Members m(out, 4);
    if (!f.reason.empty()) m.text("reason", f.reason);
    m.number("beta", f.beta).number("pf", f.pf);
    m.key("converged");
    out += f.converged ? "true" : "false";
    if (!f.note.empty()) m.text("note", f.note);
    m.count("iterations", f.iterations).count("evaluations", f.evaluations);
    m.key("variables");
    out += "[";
    for (std::size_t i = 0; i < f.variables.size(); ++i) {
      const FormVariable& v = f.variables[i];
      out += i == 0 ? "\n      {" : ",\n      {";
      Members e(out, 8);
      e.text("variable", v.variable).number("alpha", v.alpha).number("u", v.u).number("value", v.value);
      e.close();
    }
    out += f.variables.empty() ? "]" : "\n    ]";
    m.text("definition",
           "design point nearest the origin of u = Phi^-1(F(x)); beta signed by G at the medians; "
           "alpha = u / beta = -grad G / |grad G|: positive for a load, negative for a resistance; value: x at "
           "the design point, null where the model does not give it");
    m.close();
  }
  if (s.sobol.simulations > 0) {
    top.key("sobol");
    out += "{";
    const SobolSummary& so = s.sobol;
    Members m(out, 4);
    m.count("simulations", so.simulations).count("rows", so.rows).count("evaluations", so.evaluations);
    if (!so.reason.empty()) m.text("reason", so.reason);
    m.key("variables");
    out += "[";
    for (std::size_t i = 0; i < so.variables.size(); ++i) {
      const SobolVariable& v = so.variables[i];
      out += i == 0 ? "\n      {" : ",\n      {";
      Members e(out, 8);
      e.text("variable", v.variable)
          .number("first", v.first)
          .number("first_low", v.first_low)
          .number("first_high", v.first_high)
          .number("total", v.total)
          .number("total_low", v.total_low)
          .number("total_high", v.total_high);
      e.close();
    }
    out += so.variables.empty() ? "]" : "\n    ]";
    m.text("definition",
           "first-order (Saltelli) and total (Jansen) Sobol indices of G at the design life by pick-freeze "
           "sampling; low/high: 95 % interval of Monte Carlo uncertainty");
    m.close();
  }

  top.key("design_cover");
  out += "{";
  {
    const DesignCoverSummary& d = s.design_cover;
    Members m(out, 4);
    if (!d.reason.empty()) m.text("reason", d.reason);
    if (!d.distribution.empty()) {
      m.text("distribution", d.distribution).number("mean_cover", d.mean_cover).number("sd_cover", d.sd_cover);
      if (d.reason.empty()) {
        m.number("low_cover", d.low_cover).number("high_cover", d.high_cover);
        if (!d.interval_reason.empty()) m.text("interval_reason", d.interval_reason);
      }
      m.key("curve");
      out += "[";
      for (std::size_t i = 0; i < d.curve.size(); ++i) {
        out += i == 0 ? "\n      " : ",\n      ";
        out += "{\"cover\": " + shortest_number(d.curve[i].cover) + ", \"pf\": " + shortest_number(d.curve[i].pf) + "}";
      }
      out += "\n    ]";
    }
    m.close();
  }
  verdict_and_provenance_json(out, top, s);
  top.close();
  out += "\n";
  return out;
}

std::string summary_csv(const Summary& s, const RunStamp* stamp) {
  // The run stays the last column, where tools look for it.
  const std::string run = stamp ? provenance_cells(s) + "," + stamp->run : std::string();
  std::string out = "t,failures,pf,pf_se,pf_low,pf_high,beta,beta_low,beta_high,beta_cornell,cov,nsim_for_cov10" +
                    std::string(stamp ? std::string(PROVENANCE_COLUMNS) + ",run" : "") +
                    "\nyears,count,%,%,%,%,-,-,-,-,-,count" + std::string(stamp ? std::string(PROVENANCE_UNITS) + ",-" : "") +
                    "\n";
  auto cell = [](double v) { return std::isfinite(v) ? shortest_number(v) : std::string(); };
  for (const TimePointSummary& p : s.time_points) {
    out += cell(p.t) + "," + std::to_string(p.failures) + "," + cell(p.pf) + "," + cell(p.pf_se) + "," +
           cell(p.pf_low) + "," + cell(p.pf_high) + "," + cell(p.beta) + "," + cell(p.beta_low) + "," +
           cell(p.beta_high) + "," + cell(p.beta_cornell) + "," + cell(p.cov) + "," + cell(p.nsim_for_cov10) + run +
           "\n";
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
