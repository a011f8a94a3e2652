// The spreadsheet file: plain blank-separated columns, no headings.
//   line 1:      the time of the last time point
//   block 2:     time, pf, pf_se, beta, pf_beta per time point
//   empty line
//   block 4:     depth, measured, predicted 1, predicted 2 per profile point

#include "core/number_format.hpp"
#include "report/shown_values.hpp"
#include "report/write_reports.hpp"

namespace tbx {

void write_spreadsheet(TextSink& out, const JobData& job, const SeriesResults& r,
                       const RealMatrix& predicted_profile) {
  std::string& s = out.text();
  const std::int64_t points = std::int64_t{job.n_intervals} + 1;
  s += ' ';
  append_fixed(s, r.times[points], 0, 0);
  s += " \n";
  for (std::int64_t v = 1; v <= points; ++v) {
    s += ' ';
    append_fixed(s, r.times[v], 0, 0);
    for (const double x : {r.pf[v], r.pf_se[v], r.beta[v], shown_pf_beta(r.pf_beta[v])}) {
      s += ' ';
      append_fixed(s, x, 0, 6);
    }
    s += " \n";
  }
  s += '\n';
  for (std::int64_t v = 1; v <= job.n_points; ++v) {
    for (const double x : {job.profile_depth[v], job.profile_cl[v], predicted_profile[1][v],
                           predicted_profile[2][v]}) {
      s += ' ';
      append_fixed(s, x, 2, 3);
    }
    s += " \n";
  }
}

}  // namespace tbx
