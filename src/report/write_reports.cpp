#include "report/write_reports.hpp"

#include "core/fatal.hpp"
#include "files/folder.hpp"
#include "report/file_set.hpp"

namespace tbx {

std::string results_report_name(const std::string& base) { return base + "_rs.dat"; }
std::string spreadsheet_name(const std::string& base) { return base + "_xls.dat"; }

std::array<const OutputFile*, 2> write_reports(const std::string& job_name, const JobData& job,
                                               const SeriesResults& results, const RealMatrix& predicted_profile,
                                               FileSet& files, int threads, bool checksums) {
  const std::string base = last_part(job_name);
  OutputFile& rs = files.open(results_report_name(base), RESULTS_REPORT_LABEL);
  if (checksums) rs.keep_checksum();
  write_results_report(rs, job_name, job, results, predicted_profile, threads);
  files.finished(rs);
  OutputFile* opened = nullptr;
  try {
    opened = &files.open(spreadsheet_name(base), SPREADSHEET_LABEL);
  } catch (const FatalError&) {
    // The results report is complete: it stays, as a report of this run,
    // whatever happened to the spreadsheet file.
    files.place();
    throw;
  }
  OutputFile& xls = *opened;
  if (checksums) xls.keep_checksum();
  write_spreadsheet(xls, job, results, predicted_profile);
  files.finished(xls);
  return {&rs, &xls};
}

}  // namespace tbx
