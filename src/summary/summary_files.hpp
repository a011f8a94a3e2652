#pragma once
// The summary files: JOB_summary.json and JOB_summary.csv.

#include <string>

#include "summary/summary.hpp"

namespace tbx {

/// The shortest decimal text that reads back to the same double; "null" for
/// infinities and NaN (JSON has no such numbers).
std::string shortest_number(double x);

std::string summary_json(const Summary& s);
/// One row per time point, after a header row with the units.
std::string summary_csv(const Summary& s);

/// Ends the run, before anything is simulated, where the summary files could
/// not be written.
void check_summary_writable(int folder_fd, const std::string& base);

/// Writes base_summary.json and base_summary.csv in the folder `folder_fd`,
/// each complete under its final name or not at all; a failure ends the run
/// as for the reports.
void write_summary_files(int folder_fd, const std::string& base, const Summary& s);

}  // namespace tbx
