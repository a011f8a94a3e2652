#include "api/errors.hpp"

#include "cli/version.hpp"

namespace tbxrun {

namespace {

Error::Kind kind_of(tbx::FatalKind kind) {
  switch (kind) {
    case tbx::FatalKind::failed: return Error::Kind::failed;
    case tbx::FatalKind::not_found: return Error::Kind::not_found;
    case tbx::FatalKind::invalid_job: return Error::Kind::invalid_job;
    case tbx::FatalKind::usage: return Error::Kind::usage;
    case tbx::FatalKind::out_of_memory: return Error::Kind::out_of_memory;
    case tbx::FatalKind::io: return Error::Kind::io;
    case tbx::FatalKind::cancelled: return Error::Kind::cancelled;
  }
  return Error::Kind::failed;
}

}  // namespace

Error::Error(Kind kind, Finding finding, std::string report)
    : std::runtime_error(finding.message.empty() ? report : finding.message),
      kind_(kind),
      finding_(std::move(finding)),
      report_(std::move(report)) {}

std::string version() { return std::string("tbxrun ") + TBX_VERSION; }

namespace internal {

Error error_of(const tbx::FatalError& error, const std::string& file) {
  const tbx::FatalDetail& d = error.detail();
  Finding f;
  // An error of the job file names it; one of the run does not.
  if (d.kind == tbx::FatalKind::invalid_job) f.file = file;
  f.line = d.line;
  f.field = d.field;
  f.value = d.value;
  f.message = d.problem.empty() ? error.message() : d.problem;
  if (f.message.empty()) f.message = error.report();
  return Error(kind_of(d.kind), std::move(f), error.report());
}

Error usage_error(const std::string& message) {
  Finding f;
  f.message = message;
  // The console program adds its synopsis and a pointer to --help.
  return Error(Error::Kind::usage, std::move(f), "tbxrun: " + message + "\n");
}

Finding finding_of(const tbx::Finding& c, const std::string& file) {
  Finding f;
  f.severity = c.severity == tbx::Severity::error ? Finding::Severity::error : Finding::Severity::warning;
  f.file = file;
  f.line = c.line;
  f.field = c.where;
  f.value = c.value;
  f.expected = c.expected;
  f.fix = c.fix;
  f.message = c.problem.empty() ? c.where : c.problem;
  return f;
}

}  // namespace internal

}  // namespace tbxrun
