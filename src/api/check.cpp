// Every finding about a job at once, as the program's checker reports them.

#include "api/errors.hpp"
#include "api/job_impl.hpp"
#include "check/check_fib_job.hpp"
#include "check/check_job.hpp"

namespace tbxrun {

std::vector<Finding> check(const Job& job) {
  const Job::Impl& impl = job.impl();
  return internal::guarded(impl.file_name, [&] {
    tbx::CheckResult result;
    if (impl.model == Model::classic) {
      result = tbx::check_job_text(impl.text);
    } else {
      try {
        tbx::FibJob read;
        result = tbx::check_fib_text(impl.text, impl.file_name, read);
      } catch (const tbx::FatalError& error) {
        // A text that cannot be read at all: its one finding.
        if (error.kind() != tbx::FatalKind::invalid_job) throw;
        tbx::Finding f;
        f.where = error.message();
        result.findings.push_back(std::move(f));
      }
    }
    std::vector<Finding> findings;
    for (const tbx::Finding& f : result.findings) findings.push_back(internal::finding_of(f, impl.file_name));
    return findings;
  });
}

}  // namespace tbxrun
