#pragma once
// One finding of the job checker and how it is written.

#include <cstdio>
#include <string>
#include <vector>

namespace tbx {

enum class Severity { error, warning };

struct Finding {
  Severity severity = Severity::error;
  int line = 0;           ///< line of the job file; 0 when no line applies
  std::string where;      ///< the field, with name and unit
  std::string value;      ///< as read; empty when there is none
  std::string problem;
  std::string expected;
  std::string fix;
  /// The problem stands on the heading line after `where` ("a.sd: expected
  /// a standard deviation >= 0, got -3"), as the fib reader words its faults.
  bool problem_in_heading = false;
};

struct CheckResult {
  std::vector<Finding> findings;
  /// Facts worth knowing even when nothing is wrong: the mean and standard
  /// deviation that lognormal and beta parameters imply.
  std::vector<std::string> notes;
};

/// A job file checked: its name as the findings show it, what was found,
/// and the text that plain --check prints.
struct CheckedJob {
  std::string file_name;
  /// Its notes hold everything the plain text notes, the presets of a fib
  /// job among them.
  CheckResult result;
  std::string text;
};

/// Exit status of a check: 0 clean, 1 an error, 3 warnings only.
int check_exit_status(const CheckResult& result);
inline constexpr int CHECK_WARNINGS_STATUS = 3;
/// The exit status of several checks: an error before warnings before none.
int worse_check_status(int a, int b);

/// The findings, one block each ("FILE:LINE: error: WHERE = VALUE" and the
/// problem, expected value and fix indented below), the notes, and a last
/// line that counts them. A clean job is one line, its notes folded into it.
std::string format_check(const std::string& file_name, const CheckResult& result);

/// A number as a reader would write it back ("4e-12", "0.6").
std::string format_value(double value);
/// A derived number to four significant digits ("24.05", "0.5999").
std::string format_short(double value);

}  // namespace tbx
