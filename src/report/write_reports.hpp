#pragma once

#include <string>

#include "core/array.hpp"
#include "input/job_data.hpp"
#include "job/series_results.hpp"
#include "report/text_sink.hpp"

namespace tbx {

/// Writes "<job>_rs.dat", then "<job>_xls.dat". Negative pf_beta entries are
/// raised by 100 in the vector itself.
void write_reports(const std::string& job_name, const JobData& job, SeriesResults& results,
                   const RealMatrix& predicted_profile);

/// The two files' texts.
void write_results_report(TextSink& out, const std::string& job_name, const JobData& job,
                          SeriesResults& results, const RealMatrix& predicted_profile);
void write_spreadsheet(TextSink& out, const JobData& job, const SeriesResults& results,
                       const RealMatrix& predicted_profile);

}  // namespace tbx
