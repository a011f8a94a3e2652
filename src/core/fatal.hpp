#pragma once
// The one way the program stops on an error.
//
// Every error ends the run with a report on standard error and exit status 1.
// The report is raised as a FatalError; only the process entry catches it,
// writes its text and exits, so destructors on the way up remove temporary
// files and join worker threads, and tests can observe a fatal path without
// a child process. Beside its text an error carries what a program needs to
// act on it: its kind and, where a job file is at fault, the line, the field
// and the value.

#include <exception>
#include <string>
#include <string_view>

namespace tbx {

/// What went wrong, as far as a caller can do something different about it.
enum class FatalKind {
  failed,         ///< the run itself failed (an inversion that did not converge, ...)
  not_found,      ///< no job file of the name
  invalid_job,    ///< the job file is wrong
  usage,          ///< the request does not fit the job (two job files of one name, ...)
  out_of_memory,  ///< more memory than the process may have
  io,             ///< a file could not be read or written
  cancelled,      ///< the caller asked the run to stop
};

/// Where a job file is at fault; empty parts do not apply.
struct FatalDetail {
  FatalKind kind = FatalKind::failed;
  int line = 0;           ///< 1-based line of the job file
  std::string field;      ///< the field being read
  std::string value;      ///< as read
  std::string problem;    ///< what is wrong, without file, line or field; empty: the message
};

class FatalError : public std::exception {
 public:
  explicit FatalError(std::string report, std::string message = {}, FatalDetail detail = {})
      : report_(std::move(report)), message_(std::move(message)), detail_(std::move(detail)) {}
  /// The complete text for standard error, line ends included.
  const std::string& report() const noexcept { return report_; }
  /// The message alone, as given to fatal_error or to the reader's report.
  const std::string& message() const noexcept { return message_; }
  const FatalDetail& detail() const noexcept { return detail_; }
  FatalKind kind() const noexcept { return detail_.kind; }
  const char* what() const noexcept override { return report_.c_str(); }

 private:
  std::string report_;
  std::string message_;
  FatalDetail detail_;
};

/// Builds the standard error layout: an empty line, "ERROR:", the message,
/// "Line n. %8d" when line > 0, an empty line.
std::string fatal_report(std::string_view message, int line);

/// Ends the run with the standard layout (see fatal_report).
[[noreturn]] void fatal_error(std::string_view message, int line);
/// The same with a kind of its own.
[[noreturn]] void fatal_error(FatalKind kind, std::string_view message, int line = 0);

/// Ends the run with a report that the caller laid out itself (the input
/// reader writes its own multi-line reports); `message` and `detail` say the
/// same as data.
[[noreturn]] void fatal_report_raw(std::string report, std::string message = {}, FatalDetail detail = {});

inline constexpr std::string_view MEMORY_ALLOCATION_FAILED = "Memory allocation failed";

}  // namespace tbx
