#pragma once
// The summary of a run as data: what an engineer needs to sign the result.
// These are the structs the summary files are written from, so the files and
// the data cannot tell different stories.
//
// Units as in the summary files: times in years, probabilities in percent
// (pf, pf_se, pf_low, pf_high, target_pf), covers in mm; an index is the
// standard index -Phi^-1(Pf) unless named Cornell (mean(G) / sd(G)).
// NaN stands for a value that is not defined; the neighbouring reason says why.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tbxrun {

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

}  // namespace tbxrun
