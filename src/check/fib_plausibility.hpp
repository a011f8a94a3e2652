#pragma once
// Values of a fib job that the run accepts but that are most likely a
// mistake: a mean outside its variable's physical range (often a value in
// another unit), a spread that is no spread, draws below zero of a variable
// that cannot be negative. Each comes with the likely slip and the values to
// write, chosen so that the written values raise no further warning.

#include <string>
#include <vector>

#include "check/finding.hpp"
#include "input/fib_reader.hpp"

namespace tbx {

struct FibWarning {
  FibKey key = FIB_MEAN;  ///< the key the warning is about
  std::string problem;
  std::string expected;
  std::string fix;
  /// The distributions the fix proposes, the likeliest first; empty where
  /// the fix names no values.
  std::vector<MomentDistribution> proposals;
};

/// The warnings about one variable's distribution as read.
std::vector<FibWarning> fib_variable_warnings(FibVariable variable, const MomentDistribution& d);

/// "Cs_dx normal(3, 2.25) cut to [0, inf] keeps 90.88 % of it: mean 3.378"
/// for a cut variable; empty for any other.
std::string fib_cut_note(FibVariable variable, const MomentDistribution& d);

/// The likely slip behind a reader's fault, where the numbers as written show
/// one (a lognormal variable given by the mean and sd of its logarithm);
/// empty where they do not.
std::string fib_fault_fix(const FibJobFault& fault);

/// Adds a warning for each implausible variable of the job that read
/// (presets are the program's own and left out), and for a critical content
/// not below the surface content; and a note for each cut variable.
void check_fib_plausibility(const FibJobDraft& draft, CheckResult& result);

}  // namespace tbx
