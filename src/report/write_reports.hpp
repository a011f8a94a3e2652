#pragma once

#include <array>
#include <string>

#include "core/array.hpp"
#include "engine/series_results.hpp"
#include "model/job_data.hpp"
#include "report/text_sink.hpp"

namespace tbx {

class FileSet;
class OutputFile;

/// Adds "<job>_rs.dat", then "<job>_xls.dat", to the run's files (the names
/// are made from the job name's last part), formatting on `threads` threads
/// (0: every available CPU); with `checksums`, each keeps its CRC-32.
std::array<const OutputFile*, 2> write_reports(const std::string& job_name, const JobData& job,
                                               const SeriesResults& results, const RealMatrix& predicted_profile,
                                               FileSet& files, int threads = 0, bool checksums = false);

/// The names of the two files of job `base` and their labels in messages.
std::string results_report_name(const std::string& base);
std::string spreadsheet_name(const std::string& base);
inline constexpr const char* RESULTS_REPORT_LABEL = "jobname_rs.dat";
inline constexpr const char* SPREADSHEET_LABEL = "jobname_xls.dat";

/// The two files' texts; each stands on its own.
void write_results_report(TextSink& out, const std::string& job_name, const JobData& job,
                          const SeriesResults& results, const RealMatrix& predicted_profile, int threads = 0);
void write_spreadsheet(TextSink& out, const JobData& job, const SeriesResults& results,
                       const RealMatrix& predicted_profile);

}  // namespace tbx
