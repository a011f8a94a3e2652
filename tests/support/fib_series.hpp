#pragma once
// A series of a fib job run in memory, its simulations kept for the summary:
// what the model and summary tests build their checks on.

#include <cstdio>
#include <memory>

#include "engine/time_series.hpp"
#include "model/fib_model.hpp"
#include "summary/simulation_model.hpp"

namespace tbx_test {

struct FibSeries {
  FibSeries(const tbx::FibJob& job, int threads) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> sink(std::fopen("/dev/null", "w"), std::fclose);
    tbx::allocate_series_results(results, job.simulations, static_cast<std::int64_t>(job.times.size()));
    simulations =
        tbx::keep_simulations(tbx::FibModel(job), job.simulations, job.seed, results, sink.get(), threads);
    tbx::run_series(job.times, job.simulations,
                    [&](double t, const tbx::RowStages& s) { simulations->run(t, s); }, results, sink.get());
  }
  tbx::SeriesResults results;
  std::unique_ptr<tbx::SimulationModel> simulations;
};

}  // namespace tbx_test
