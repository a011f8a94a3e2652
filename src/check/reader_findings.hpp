#pragma once
// Findings about the text of a job file: where the reader stopped, and text
// after the last field.

#include <cstdio>
#include <string>

#include "check/finding.hpp"
#include "core/fatal.hpp"
#include "input/reader.hpp"
#include "model/job_data.hpp"

namespace tbx {

/// The reader's report turned into a finding that names the field it was
/// reading and suggests a fix.
Finding reader_finding(const std::string& report, const ReadTrace& trace);

/// An error that stopped the reading before findings could be collected (a
/// file that cannot be read, a text nested too deep), as one error: its
/// message, or the message line of its report, as the heading.
Finding stop_finding(const FatalError& error);

/// Reads what follows the last field: blanks and comments are fine; the
/// first token of anything else is an error, as it shows that the fields
/// before it have shifted. `line_no` is the line the reader stopped on.
void check_trailing_text(std::FILE* in, int line_no, const JobData& job, CheckResult& result);

}  // namespace tbx
