#include "check/finding.hpp"

#include <algorithm>

namespace tbx {

int check_exit_status(const CheckResult& result) {
  const auto& f = result.findings;
  if (std::any_of(f.begin(), f.end(), [](const Finding& x) { return x.severity == Severity::error; })) {
    return 1;
  }
  return f.empty() ? 0 : CHECK_WARNINGS_STATUS;
}

int worse_check_status(int a, int b) {
  const auto rank = [](int status) { return status == 1 ? 2 : status == CHECK_WARNINGS_STATUS ? 1 : 0; };
  return rank(a) >= rank(b) ? a : b;
}

namespace {

std::string formatted(const char* format, double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, format, value);
  return buf;
}

}  // namespace

std::string format_value(double value) { return formatted("%.10g", value); }
std::string format_short(double value) { return formatted("%.4g", value); }

namespace {

std::string plural(std::size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

std::string format_check(const std::string& file_name, const CheckResult& result) {
  std::string text;
  std::size_t errors = 0;
  for (const Finding& f : result.findings) {
    const bool error = f.severity == Severity::error;
    errors += error ? 1 : 0;
    text += file_name;
    if (f.line > 0) text += ":" + std::to_string(f.line);
    text += error ? ": error: " : ": warning: ";
    text += f.where;
    if (!f.value.empty()) text += " = " + f.value;
    if (f.problem_in_heading) text += (f.where.empty() ? "" : ": ") + f.problem;
    text += "\n";
    if (!f.problem.empty() && !f.problem_in_heading) text += "    " + f.problem + "\n";
    if (!f.expected.empty()) text += "    expected: " + f.expected + "\n";
    if (!f.fix.empty()) text += "    fix: " + f.fix + "\n";
  }
  if (result.findings.empty()) {
    text += file_name + ": no findings";
    if (!result.notes.empty()) {
      text += " (";
      for (std::size_t i = 0; i < result.notes.size(); ++i) text += (i > 0 ? "; " : "") + result.notes[i];
      text += ")";
    }
    return text + "\n";
  }
  for (const std::string& note : result.notes) text += file_name + ": note: " + note + "\n";
  const std::size_t warnings = result.findings.size() - errors;
  text += file_name + ": " + plural(errors, "error") + ", " + plural(warnings, "warning") + "\n";
  return text;
}

}  // namespace tbx
