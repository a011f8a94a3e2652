#pragma once
// tbxrun as a library: a job in, results as data out.
//
//   tbxrun::Job job = tbxrun::Job::load("pier");            // pier.dat or pier.toml
//   tbxrun::Results r = tbxrun::run(job, {}, &observer);    // simulates, writes nothing
//   tbxrun::write(job, r, ".");                             // the program's files
//
// Conventions, everywhere in this interface:
// - times and the design life in years; covers in mm;
// - probabilities as fractions (0.0123), never percent;
// - an index is the standard index beta = -Phi^-1(Pf) unless named Cornell
//   (mean(G) / sd(G), the index the classic report prints);
// - arrays are 0-based std::vectors, one entry per time point of the series.
// The summary (summary.hpp) keeps the units of the summary files it is
// written to: it is the very struct the files are made from.
//
// Every failure throws tbxrun::Error, whose kind says what went wrong and
// whose finding carries the fields (file, line, field, value, ...). The
// console program formats the same errors as its users know them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tbxrun/summary.hpp"

namespace tbxrun {

/// The limit-state model a job is written for.
enum class Model {
  classic,  ///< a ".dat" job: the classic chloride model
  fib,      ///< a ".toml" job: the fib full-probabilistic model
};

/// One finding about a job, of the checker or of an error.
struct Finding {
  enum class Severity { error, warning };
  Severity severity = Severity::error;
  std::string file;      ///< the job file's name ("pier.toml"); empty where none applies
  int line = 0;          ///< 1-based line of the job file; 0 where no line applies
  std::string field;     ///< the field, with name and unit; empty where none applies
  std::string value;     ///< as read; empty where there is none
  std::string expected;  ///< what the field accepts; may be empty
  std::string fix;       ///< how to mend it; may be empty
  std::string message;   ///< what is wrong, one sentence
};

/// The one error type of the library.
class Error : public std::runtime_error {
 public:
  enum class Kind {
    not_found,      ///< no job file of that name
    invalid_job,    ///< the job file is wrong (see finding())
    usage,          ///< a setting does not fit the job (a design life outside the series, ...)
    busy,           ///< another run holds the job (the console program's lock; the library takes none)
    out_of_memory,  ///< the run needs more memory than the process may have
    io,             ///< a file could not be read or written
    cancelled,      ///< the observer cancelled the run; nothing was written
    failed,         ///< the simulation itself failed (a beta inversion that did not converge, ...)
  };
  Error(Kind kind, Finding finding, std::string report);
  Kind kind() const noexcept { return kind_; }
  const Finding& finding() const noexcept { return finding_; }
  /// The text the console program prints for it on standard error (for a
  /// usage error, it adds its synopsis and a pointer to --help).
  const std::string& report() const noexcept { return report_; }

 private:
  Kind kind_;
  Finding finding_;
  std::string report_;
};

/// A job read into memory. Cheap to copy; immutable.
class Job {
 public:
  /// Reads the job `path`: "pier" finds pier.dat or pier.toml (both present:
  /// an error), "pier.dat" and "pier.toml" name the file itself.
  static Job load(const std::string& path);
  /// A job held in memory. `name` is the job file's name, as reports and
  /// messages show it ("pier.toml", "splash.dat"); its extension chooses
  /// the model. Without an extension the text is taken for a fib job where
  /// it parses as TOML with a [variables] or model table, else a classic one.
  static Job from_text(std::string text, std::string name);

  Model model() const;
  /// The job file's name ("pier.toml") and the base the output files are
  /// named after ("pier").
  const std::string& file_name() const;
  const std::string& base_name() const;
  /// The job file's bytes.
  const std::string& text() const;

  /// The library's own view of the job; load() and from_text() make jobs.
  struct Impl;
  const Impl& impl() const { return *impl_; }
  explicit Job(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}

 private:
  std::shared_ptr<const Impl> impl_;
};

/// Every finding about the job at once, as `tbxrun --check` reports them;
/// an empty list is a clean job. Runs nothing.
std::vector<Finding> check(const Job& job);

/// How to run a job.
struct Settings {
  int threads = 0;  ///< CPUs to use; 0: every CPU the process may run on
  /// Compute the summary (initiation times, service life, importance, FORM,
  /// design cover, verdict). The series itself is the same either way. A
  /// fib job is always summarized: its report is made from the summary.
  bool summary = true;
  std::optional<double> target_beta;  ///< absent: the job's own (1.3 for a classic job)
  std::optional<double> design_life;  ///< years; absent: the last time point
  std::int64_t sobol_simulations = 0;  ///< rows per Sobol sample; 0: the job's own (none)
};

/// Sent as each time point starts (simulations_done 0), as its simulations
/// are evaluated (about every thousand), and as it ends.
struct Progress {
  int point = 0;                  ///< 1-based time point being simulated
  int points = 0;                 ///< time points in the series
  double t = 0;                   ///< its time, years
  std::int64_t simulations_done = 0;  ///< of this time point
  std::int64_t simulations = 0;       ///< per time point
};

struct Warning {
  enum class Kind {
    negative_diffusion,     ///< a simulation drew a negative diffusion coefficient
    beta_not_a_number,      ///< a beta-distribution sample was not a number
    other,
  };
  Kind kind = Kind::other;
  int point = 0;             ///< 1-based time point; 0: before the series
  std::int64_t simulation = 0;  ///< 1-based; 0 where none applies
  double value = 0;          ///< the value concerned, where one is (the coefficient)
  std::string message;       ///< the text the console shows for it
};

/// Receives a run's events on the thread that called run(). Every member
/// has a default that does nothing.
class Observer {
 public:
  virtual ~Observer() = default;
  virtual void progress(const Progress&) {}
  virtual void warning(const Warning&) {}
  /// Asked before the simulation starts, before each time point, and about
  /// every thousand simulations sampled or evaluated; true ends the run with
  /// Error::Kind::cancelled. (The summary, after the series, is not
  /// interrupted.)
  virtual bool cancelled() { return false; }
  /// The console text of the run, as the program prints it (progress lines,
  /// warnings); the console program writes it to standard output.
  virtual void console(const std::string&) {}
};

/// The results of a run: the series and, where asked, the summary.
struct Results {
  std::int64_t simulations = 0;  ///< per time point
  std::int32_t seed = 0;         ///< the seed the run used
  std::vector<double> times;     ///< years
  std::vector<std::int64_t> failures;
  std::vector<double> pf;        ///< failures / simulations, a fraction
  std::vector<double> pf_se;     ///< its standard error, a fraction
  std::vector<double> beta_cornell;  ///< mean(G) / sd(G), as the classic report prints it
  std::optional<Summary> summary;    ///< present where Settings::summary, and always for a fib job
  /// What write() needs beyond the above (the simulations of the last time
  /// point, the fitted profile): held, not copied, by copies of Results.
  struct Detail;
  std::shared_ptr<const Detail> detail;
};

/// Runs the job: reads nothing from disk, writes nothing. Throws Error.
Results run(const Job& job, const Settings& settings = {}, Observer* observer = nullptr);

/// Writes the files the program writes for this run into `folder`: the
/// classic reports (<base>_rs.dat, <base>_xls.dat) or the fib report
/// (<base>_report.txt), and the summary files where the results hold a
/// summary. All or nothing: no file is placed until every one is complete.
void write(const Job& job, const Results& results, const std::string& folder);

/// The summary files' text, as write() would write them.
std::string summary_json(const Results& results);
std::string summary_csv(const Results& results);

/// "tbxrun 2.3.0"
std::string version();

}  // namespace tbxrun
