#pragma once
// Values the run accepts but that are most likely a mistake: outside the
// physical range of their variable, in another unit, or parameters of one
// distribution written as those of another.

#include <cstdint>
#include <optional>
#include <string>

#include "check/finding.hpp"
#include "input/reader.hpp"
#include "model/job_data.hpp"

namespace tbx {

/// Plausible range of a variable's mean (of its values, for t).
struct PlausibleRange {
  double low;
  double high;
  bool high_excluded;  ///< n must stay below 1
  bool must_stay_positive;  ///< a negative sample means nothing physical
};

const PlausibleRange& plausible_range(int variable);

/// A coefficient of variation above this, for a normal variable that must
/// stay positive, draws a share of negative values worth a warning.
inline constexpr double MAX_NORMAL_COV = 0.5;

/// A warning where `nsim` simulations are too few for the summary's design
/// cover and service-life interval at the target index `target_beta`
/// (fewest_simulations); nothing where they suffice. `where` and `line` name
/// the field as the job file has it.
std::optional<Finding> too_few_simulations(std::int64_t nsim, double target_beta, std::string where, int line,
                                           const std::string& target_origin);

/// Adds a warning for every implausible value of a job that validation
/// passed as far as the variables go (codes known), and a note with the
/// implied mean and standard deviation of every lognormal and beta variable.
void check_plausibility(const JobData& job, const ReadTrace& trace, CheckResult& result);

}  // namespace tbx
