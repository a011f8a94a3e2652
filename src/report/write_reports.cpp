#include "report/write_reports.hpp"

#include "files/folder.hpp"
#include "report/output_file.hpp"

namespace tbx {

std::string results_report_name(const std::string& base) { return base + "_rs.dat"; }
std::string spreadsheet_name(const std::string& base) { return base + "_xls.dat"; }

void write_reports(const std::string& job_name, const JobData& job, const SeriesResults& results,
                   const RealMatrix& predicted_profile, int folder_fd, int threads) {
  const std::string base = last_part(job_name);
  {
    OutputFile file(folder_fd, results_report_name(base), RESULTS_REPORT_LABEL);
    write_results_report(file, job_name, job, results, predicted_profile, threads);
    file.commit();
  }
  OutputFile file(folder_fd, spreadsheet_name(base), SPREADSHEET_LABEL);
  write_spreadsheet(file, job, results, predicted_profile);
  file.commit();
}

}  // namespace tbx
