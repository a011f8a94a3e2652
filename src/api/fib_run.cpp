// The steps of a run that belong to a fib job.

#include <optional>

#include "api/model_run.hpp"
#include "api/results_detail.hpp"
#include "fib/fib_model.hpp"
#include "job/memory_check.hpp"
#include "prob/random.hpp"
#include "summary/simulation_model.hpp"

namespace tbxrun::internal {

namespace {

using namespace tbx;

/// Each variable's distribution as the run used it, presets applied.
std::vector<ResolvedInput> fib_resolved_inputs(const FibJob& job) {
  std::vector<ResolvedInput> out;
  for (std::size_t i = 0; i < job.inputs.size(); ++i) {
    const FibInput& input = job.inputs[i];
    const MomentDistribution& d = input.distribution;
    ResolvedInput r;
    r.name = FIB_VARIABLES_INFO[i].name;
    r.unit = FIB_VARIABLES_INFO[i].unit;
    r.distribution = moment_kind_name(d.kind);
    if (d.kind != MomentKind::uniform) r.parameters.emplace_back("mean", d.mean);
    if (d.kind != MomentKind::uniform && d.kind != MomentKind::fixed) r.parameters.emplace_back("sd", d.sd);
    if (d.kind == MomentKind::beta || d.kind == MomentKind::uniform) {
      r.parameters.emplace_back("lower", d.lower);
      r.parameters.emplace_back("upper", d.upper);
    }
    switch (input.origin) {
      case FibOrigin::job: r.origin = "given"; break;
      case FibOrigin::preset: r.origin = "preset"; break;
      case FibOrigin::overridden: r.origin = "given, overrides preset"; break;
    }
    if (input.origin != FibOrigin::job) r.preset = input.preset;
    out.push_back(std::move(r));
  }
  return out;
}

/// A fib job is always summarized: its report is made from the summary.
class FibRun final : public ModelRun {
 public:
  FibRun(const Job::Impl& job, const Settings& settings)
      : detail_(std::make_shared<Results::Detail>()), threads_(settings.threads) {
    detail_->model = Model::fib;
    detail_->job_name = job.job_name;
    detail_->file_name = job.file_name;
    detail_->base = job.base_name;
    detail_->threads = settings.threads;
    detail_->fib = job.fib;
    options_.target_beta = settings.target_beta.value_or(job.fib.target_beta);
    options_.design_life = settings.design_life;
    options_.sobol_simulations =
        settings.sobol_simulations != 0 ? settings.sobol_simulations : job.fib.sobol_simulations;
  }

  void check(Console) override {
    check_design_life(job().times, options_);
    model_.emplace(job());
    check_memory(series_memory_needed(static_cast<double>(job().simulations), static_cast<double>(job().times.size()),
                                      kept_per_simulation(*model_), summary_bytes_per_simulation(*model_, threads_)));
  }

  void simulate(Console console) override {
    // The few seeds on which the generator stands still move on to the next
    // usable one; the report shows the seed used.
    job().seed = first_working_seed(job().seed);
    SeriesResults& series = detail_->series;
    allocate_series_results(series, job().simulations, static_cast<std::int64_t>(job().times.size()));
    kept_ = keep_simulations(*model_, job().simulations, job().seed, series, console, threads_);
    run_series(job().times, job().simulations, [&](double t, const RowStages& stages) { kept_->run(t, stages); },
               series, console);
  }

  const SeriesResults& series() const override { return detail_->series; }
  std::int64_t simulations() const override { return detail_->fib.simulations; }
  std::int32_t seed() const override { return detail_->fib.seed; }
  const SimulationModel* kept() const override { return kept_.get(); }
  const SummaryOptions& summary_options() const override { return options_; }
  void describe(Summary& summary) const override {
    summary.model = "fib";
    summary.title = detail_->fib.title;
    summary.provenance.inputs = fib_resolved_inputs(detail_->fib);
  }
  std::shared_ptr<Results::Detail> detail() override { return std::move(detail_); }

 private:
  FibJob& job() { return detail_->fib; }

  std::shared_ptr<Results::Detail> detail_;
  int threads_;
  SummaryOptions options_;
  std::optional<FibModel> model_;
  std::unique_ptr<SimulationModel> kept_;
};

}  // namespace

std::unique_ptr<ModelRun> fib_run(const Job::Impl& job, const Settings& settings) {
  return std::make_unique<FibRun>(job, settings);
}

}  // namespace tbxrun::internal
