#pragma once
// What the files of a run are written from, beyond the results as data.

#include <string>

#include "fib/fib_job.hpp"
#include "input/job_data.hpp"
#include "job/series_results.hpp"
#include "tbxrun/tbxrun.hpp"

struct tbxrun::Results::Detail {
  Model model = Model::classic;
  std::string job_name;   ///< as the classic report shows it: "runs/pier"
  std::string file_name;  ///< "pier.toml"
  std::string base;       ///< "pier": the output files are named after it
  int threads = 0;        ///< to format the reports on
  // A classic job as it ran (its seed, its single time point, its fitted
  // variables), the series with the last time point's simulations, and the
  // predicted profile.
  tbx::JobData classic;
  tbx::SeriesResults series;
  tbx::RealMatrix predicted_profile;
  // A fib job as it ran (its seed).
  tbx::FibJob fib;
};
