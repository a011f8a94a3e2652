#pragma once
// The one way the program stops on an error.
//
// Every error ends the run with a report on standard error and exit status 1.
// The report is raised as a FatalError; only the process entry catches it,
// writes its text and exits, so destructors on the way up remove temporary
// files and join worker threads, and tests can observe a fatal path without
// a child process.

#include <exception>
#include <string>
#include <string_view>

namespace tbx {

class FatalError : public std::exception {
 public:
  explicit FatalError(std::string report, std::string message = {})
      : report_(std::move(report)), message_(std::move(message)) {}
  /// The complete text for standard error, line ends included.
  const std::string& report() const noexcept { return report_; }
  /// The message alone, as given to fatal_error; empty for a report laid
  /// out by its caller.
  const std::string& message() const noexcept { return message_; }
  const char* what() const noexcept override { return report_.c_str(); }

 private:
  std::string report_;
  std::string message_;
};

/// Builds the standard error layout: an empty line, "ERROR:", the message,
/// "Line n. %8d" when line > 0, an empty line.
std::string fatal_report(std::string_view message, int line);

/// Ends the run with the standard layout (see fatal_report).
[[noreturn]] void fatal_error(std::string_view message, int line);

/// Ends the run with a report that the caller laid out itself (the input
/// reader writes its own multi-line reports).
[[noreturn]] void fatal_report_raw(std::string report);

inline constexpr std::string_view MEMORY_ALLOCATION_FAILED = "Memory allocation failed";

}  // namespace tbx
