#pragma once
// The summary files: JOB_summary.json and JOB_summary.csv.

#include <cstdint>
#include <string>
#include <vector>

#include "report/field_table.hpp"
#include "summary/summary.hpp"

namespace tbx {

class FileSet;

/// What ties the summary files to the reports of the same run: one run
/// identifier, which the summary files (and a report free to show it) carry,
/// and the size and CRC-32 of each report, which a tool checks against the
/// reports beside the summary before it trusts the summary.
struct RunStamp {
  struct Report {
    std::string suffix;  ///< after the job's name: "_rs.dat"
    std::uint64_t bytes = 0;
    std::uint32_t crc32 = 0;
  };
  /// Sixteen hexadecimal digits, made from the run's results: a run whose
  /// reports or summary differ in any byte has another one, and a run that
  /// repeats another exactly has the same.
  std::string run;
  std::vector<Report> reports;
};

/// The identifier of a run whose reports have the CRC-32 `reports_crc`
/// (of their texts, or of their stamps) and whose summary is `s`.
std::string run_identifier(std::uint32_t reports_crc, const Summary& s);
/// The CRC-32 of the reports' stamps, for run_identifier().
std::uint32_t reports_crc(const std::vector<RunStamp::Report>& reports);

/// Without a stamp, the summary alone (as the tests compare them).
std::string summary_json(const Summary& s, const RunStamp* stamp = nullptr);
/// One row per time point, after a header row with the units; with a stamp,
/// a last column "run" gives the run identifier in every row.
std::string summary_csv(const Summary& s, const RunStamp* stamp = nullptr);

/// Ends the run, before anything is simulated, where the summary files could
/// not be written.
void check_summary_writable(int folder_fd, const std::string& base);

/// The names of the summary files of job `base`.
std::string summary_json_name(const std::string& base);
std::string summary_csv_name(const std::string& base);

/// Adds base_summary.json and base_summary.csv, stamped, to the run's files.
void write_summary_files(FileSet& files, const std::string& base, const Summary& s, const RunStamp& stamp);

}  // namespace tbx
