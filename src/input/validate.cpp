#include "input/validate.hpp"

#include "core/fatal.hpp"
#include "input/validation_rules.hpp"

namespace tbx {

void validate_job(const JobData& job) { validate_job(job, stdout); }

void validate_job(const JobData& job, Console out) {
  for_each_violation(job, [out](const Violation& v) {
    if (v.console_note) out.text("tou aqui!\n");
    fatal_error(FatalKind::invalid_job, v.message, v.report_line);
  });
}

}  // namespace tbx
