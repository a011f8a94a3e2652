#pragma once
// The rules a job must keep before anything uses it, as one ordered table.
//
// The run walks the table and stops at the first broken rule with that
// rule's message; the job checker walks it to the end and reports every
// broken rule with the value at fault. Both see the same rules in the same
// order.

#include <functional>
#include <string_view>

#include "input/job_fields.hpp"
#include "model/job_data.hpp"

namespace tbx {

struct Violation {
  std::string_view message;  ///< the run's report text
  int report_line;           ///< the line the run's report shows; 0 for none
  bool console_note;         ///< the run first writes "tou aqui!" to the console
  JobField field;            ///< the value at fault ...
  int index;                 ///< ... and its 1-based position in that field
  std::string_view expected;  ///< for the checker: what the value should be
  std::string_view fix;       ///< for the checker: how to mend it
};

/// Calls `found` for every broken rule, in the order the run tests them.
/// Safe to walk to the end whatever the values: a rule that only makes sense
/// once an earlier one holds looks at no value out of range.
void for_each_violation(const JobData& job, const std::function<void(const Violation&)>& found);

}  // namespace tbx
