#pragma once
// The summary of a run (--summary): what an engineer needs to sign the
// result, computed from the simulations the series has already drawn.

#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/series_results.hpp"
#include "summary/simulation_model.hpp"
#include "tbxrun/summary.hpp"

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

// The summary's data, shared with the library's clients.
using tbxrun::TimePointSummary;
using tbxrun::HistogramBin;
using tbxrun::InitiationSummary;
using tbxrun::ServiceLifeSummary;
using tbxrun::ImportanceFactor;
using tbxrun::ImportanceSummary;
using tbxrun::FormVariable;
using tbxrun::FormSummary;
using tbxrun::SobolVariable;
using tbxrun::SobolSummary;
using tbxrun::CoverPoint;
using tbxrun::DesignCoverSummary;
using tbxrun::Verdict;
using tbxrun::ResolvedInput;
using tbxrun::Provenance;
using tbxrun::Summary;

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
