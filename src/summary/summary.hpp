#pragma once
// The summary of a run (--summary): what an engineer needs to sign the
// result, computed from the simulations the series has already drawn.

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "job/series_results.hpp"
#include "summary/simulation_model.hpp"

namespace tbx {

struct SummaryOptions {
  double target_beta = 1.3;
  /// Absent: the last time point.
  std::optional<double> design_life;
  /// Rows of each pick-freeze sample for the Sobol indices; 0: none.
  std::int64_t sobol_simulations = 0;
};

/// What the summary keeps per simulation beyond the series: the first
/// failure, two loads, and the values of one analysis at a time.
inline constexpr double SUMMARY_BYTES_PER_SIMULATION = sizeof(std::int32_t) + 5 * sizeof(double);

/// Confidence of every interval in the summary.
inline constexpr double SUMMARY_CONFIDENCE = 0.95;

struct TimePointSummary {
  double t = 0;
  std::int64_t failures = 0;
  double pf = 0, pf_se = 0, pf_low = 0, pf_high = 0;  ///< percent
  double beta = 0, beta_low = 0, beta_high = 0;      ///< -Phi^-1 of pf, pf_high, pf_low; infinite at 0 or 1
  double beta_cornell = 0;                            ///< mean(G) / sd(G), as in the report
  double cov = 0;                                     ///< of the estimate of pf; infinite at pf 0
  double nsim_for_cov10 = 0;                          ///< simulations for a CoV of 10 %; infinite at pf 0
  std::string reason;  ///< non-empty where a value above is not a finite number: why
};

struct HistogramBin {
  double from = 0, to = 0;
  std::int64_t count = 0;
};

struct InitiationSummary {
  std::string reason;  ///< non-empty where initiation times are not defined
  std::vector<std::pair<double, double>> quantiles;  ///< (percent, years); NaN: see quantiles_reason
  std::string quantiles_reason;  ///< non-empty where a quantile is NaN: why
  std::int64_t censored = 0;
  double censored_share = 0;
  std::vector<HistogramBin> histogram;
};

struct ServiceLifeSummary {
  double target_beta = 0;
  double target_pf = 0;  ///< Phi(-target), percent
  std::string reason;    ///< non-empty where not defined
  double years = 0, low = 0, high = 0;  ///< NaN: not reached by the last time point / no bound
  std::string interval_reason;          ///< non-empty where `years` is a time but low or high is NaN
  /// "estimate"; "at_start": the simulations failed by the first time point
  /// count as failing there, so `years` is only an upper bound;
  /// "not_reached"; "undefined" (see `reason`)
  std::string kind;
  double cornell_years = 0;             ///< NaN: not reached
  std::string cornell_kind;             ///< "crossing", "at_start", "not_reached", "undefined"
  std::string cornell_reason;           ///< why, where "undefined"
};

/// The correlation measure: rho, Pearson's correlation of G with the normal
/// score of a variable's uniform number, and Spearman's rank correlation.
/// For a G linear in independent normal variables rho is the FORM direction
/// cosine (with the sign of a resistance positive); otherwise it is a
/// measure of its own, and the rho^2 need not add up to 1.
struct ImportanceFactor {
  std::string variable;
  std::vector<std::string> drives;
  double rho = 0, spearman = 0;
  /// rho / sqrt(sum of rho^2) and its square in percent: the former alpha
  /// and share, forced to add up to 100 %; kept for the scripts that read them.
  double scaled = 0, share = 0;
};

struct ImportanceSummary {
  std::string reason;
  std::int64_t used = 0;  ///< simulations whose G is a number
  double rho_squared_sum = 0;
  std::vector<ImportanceFactor> factors;
};

/// FORM at the design life (see form.hpp).
struct FormVariable {
  std::string variable;
  double u = 0;      ///< design point, standard normal
  double value = 0;  ///< design point in the job's units; NaN where the model does not give it
  double alpha = 0;  ///< direction cosine, u / beta: positive for a load
};

struct FormSummary {
  std::string reason;  ///< non-empty where there is no design point: why
  bool converged = false;
  std::string note;  ///< where not converged
  int iterations = 0, evaluations = 0;
  double beta = 0, pf = 0;  ///< pf = Phi(-beta), percent
  std::vector<FormVariable> variables;
};

/// Sobol indices at the design life (see sobol.hpp), on request.
struct SobolVariable {
  std::string variable;
  double first = 0, first_low = 0, first_high = 0;
  double total = 0, total_low = 0, total_high = 0;
};

struct SobolSummary {
  std::int64_t simulations = 0;  ///< rows of each sample; 0: not requested
  std::string reason;
  std::int64_t rows = 0, evaluations = 0;
  std::vector<SobolVariable> variables;
};

struct CoverPoint {
  double cover = 0, pf = 0;  ///< mm, percent
};

struct DesignCoverSummary {
  std::string reason;  ///< non-empty where it does not apply
  std::string distribution;
  double mean_cover = 0, sd_cover = 0;  ///< NaN mean: the target cannot be reached by any cover
  /// The 95 % Monte Carlo interval of mean_cover: the covers at which the
  /// estimated Pf equals the probability levels of the order statistics that
  /// bound the service life's quantile (the same ranks, read on the cover
  /// axis). NaN: no such bound (see interval_reason).
  double low_cover = 0, high_cover = 0;
  std::string interval_reason;
  std::vector<CoverPoint> curve;
};

/// The answer at the design life: the index against the target.
struct Verdict {
  double design_life = 0, target_beta = 0;
  std::int64_t failures = 0;
  double beta = 0, beta_low = 0, beta_high = 0;  ///< -Phi^-1 of Pf and of its interval's ends
  /// "passes" (beta at or above the target) or "fails".
  std::string outcome;
  /// Whether the whole interval lies on the outcome's side of the target;
  /// where not, more simulations are needed to settle it.
  bool settled = false;
};

/// What tells a reader which run made the summary and from what.
struct ResolvedInput {
  std::string name, unit, distribution;
  /// The distribution's parameters by name, as the run used them.
  std::vector<std::pair<std::string, double>> parameters;
  std::string origin;  ///< "given", "preset" or "given, overrides preset"
  std::string preset;  ///< the preset's name where one was involved
};

struct Provenance {
  std::string program;  ///< "tbxrun 2.3.0"
  std::string date;     ///< UTC, ISO 8601; SOURCE_DATE_EPOCH where set
  std::string job_file;
  std::string job_sha256;
  std::int64_t seed = 0;  ///< the seed the run used
  std::vector<ResolvedInput> inputs;
};

struct Summary {
  /// The model and the job's title, where the job names them (a TOML job);
  /// empty for a classic job.
  std::string model, title;
  std::int64_t nsim = 0;
  double design_life = 0;
  std::vector<TimePointSummary> time_points;
  InitiationSummary initiation;
  ServiceLifeSummary service_life;
  ImportanceSummary importance;
  FormSummary form;
  SobolSummary sobol;
  DesignCoverSummary design_cover;
  Verdict verdict;
  Provenance provenance;
};

/// The verdict of a time point against the target.
Verdict verdict_of(const TimePointSummary& point, double target_beta);

/// One sentence: "at 50 years the index is -0.995 (95 % interval -1.02 to
/// -0.97), below the target 1.3: fails", with the Monte Carlo label.
std::string verdict_text(const Verdict& v);
/// The lines the console shows after a run with a summary.
std::string verdict_lines(const Summary& s);

/// The date a run records: SOURCE_DATE_EPOCH where it is set to a whole
/// number of seconds (for reproducible outputs), else the clock; UTC.
std::string run_date();

/// The program, the date, the job file's name and SHA-256 and the seed;
/// the caller adds the inputs.
Provenance run_provenance(const std::string& job_file, const std::string& job_text, std::int64_t seed);

/// The fewest simulations whose order statistics bracket the quantile at
/// probability p with SUMMARY_CONFIDENCE: both max(p, 1 - p)^n and its
/// complement's power must fall to the one-sided tail. The service life's
/// interval needs them at Pf = Phi(-target), and so does the design cover,
/// a quantile at that level of the load less the cover's own scatter: with
/// fewer, one simulation's draw decides it (27.8 to 69.1 mm by the seed
/// with one simulation, 91.4 mm with 1e5).
std::int64_t fewest_simulations(double p);

/// Whether a mean and standard deviation of n values (the limit state G)
/// show no scatter: summing n equal values of magnitude |mean| one by one
/// can leave up to about n ulp of it in the mean, and the deviations from
/// that mean then give an sd of about as much; sd(G) up to 2n ulp of
/// |mean(G)| (64 at least, for rounding inside each value) is therefore no
/// evidence of scatter. Then sd(G), mean(G)/sd(G) and any correlation with G
/// are rounding, not a property of the job.
bool without_scatter(double mean, double sd, std::int64_t n);
/// The same test on the index mean(G)/sd(G) alone (NaN and infinite
/// included).
bool index_without_scatter(double beta_cornell, std::int64_t n);
inline constexpr const char* NO_SCATTER = "G does not vary";

/// The whole summary of a finished series.
Summary summarize(const SimulationModel& model, const SeriesResults& results, const SummaryOptions& options);

/// The time points of the job's series, years, as the series will lay them out.
std::vector<double> series_times(const JobData& job);

/// Ends the run with a usage error when the design life lies outside the
/// series of `job` (checked after reading the job, before simulating).
void check_design_life(const JobData& job, const SummaryOptions& options);
/// The same for a series of the given times.
void check_design_life(const std::vector<double>& times, const SummaryOptions& options);

// The parts, for the tests.
std::vector<TimePointSummary> summarize_time_points(const std::vector<double>& times,
                                                    const std::vector<std::int64_t>& failures,
                                                    std::int64_t nsim, const SeriesResults& results);
/// Per simulation (0-based), the time at which G first becomes negative,
/// to 1e-6 years within the series; +infinity if it does not by the last
/// time point. Empty where the time is random.
std::vector<double> initiation_times(const SimulationModel& model);
InitiationSummary summarize_initiation(std::vector<double> sorted_times, std::int64_t nsim, double first,
                                       double last);
/// `sorted_times`: the initiation times in ascending order.
ServiceLifeSummary service_life(const std::vector<double>& sorted_times, std::int64_t nsim, double target_beta);
/// Where mean(G)/sd(G) first falls below the target, interpolated linearly.
void cornell_crossing(const std::vector<double>& times, const std::vector<double>& beta, double target,
                      ServiceLifeSummary& life);
/// Direction cosines from the correlation of g with each source (entries
/// where g is not a number are left out), and Spearman's rank correlation.
/// `fill` gives a source's values per simulation; it is called for several
/// sources at once on up to `threads` threads.
ImportanceSummary importance_factors(
    std::vector<double> g, const std::vector<SimulationModel::Source>& sources,
    const std::function<void(const SimulationModel::Source&, std::vector<double>& z)>& fill, int threads = 1);
/// The same where `fill` may also give, per simulation, keys whose order is
/// that of the uniform numbers z came from (see fill_normals): the ranks of
/// z then come from them, with the same bits.
ImportanceSummary importance_factors(
    std::vector<double> g, const std::vector<SimulationModel::Source>& sources,
    const std::function<void(const SimulationModel::Source&, std::vector<double>& z, std::vector<std::uint32_t>& keys)>&
        fill,
    int threads);
/// FORM and, where options ask for them, the Sobol indices of G at time t.
FormSummary form_at(const SimulationModel& model, double t);
SobolSummary sobol_at(const SimulationModel& model, double t, std::int64_t simulations);
/// Mean cover for Pf = target_pf at the loads `s` (mm), by conditional Monte
/// Carlo on a normal or lognormal cover of standard deviation sd.
/// With pf_low and pf_high (probabilities), also the covers at which Pf
/// equals them: the ends of the mean cover's interval.
DesignCoverSummary design_cover(const std::vector<double>& s, bool lognormal, double sd, double target_pf,
                                double pf_low = std::nan(""), double pf_high = std::nan(""));

}  // namespace tbx
