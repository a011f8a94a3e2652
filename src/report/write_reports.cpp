#include "report/write_reports.hpp"

#include "report/output_file.hpp"

namespace tbx {

void write_reports(const std::string& job_name, const JobData& job, SeriesResults& results,
                   const RealMatrix& predicted_profile) {
  {
    OutputFile file(job_name + "_rs.dat", "jobname_rs.dat");
    write_results_report(file, job_name, job, results, predicted_profile);
    file.commit();
  }
  OutputFile file(job_name + "_xls.dat", "jobname_xls.dat");
  write_spreadsheet(file, job, results, predicted_profile);
  file.commit();
}

}  // namespace tbx
