// One run of any job: the checks, the simulation and the summary, in the
// same order for every model; the model's own steps are its ModelRun.

#include "api/errors.hpp"
#include "api/internal.hpp"
#include "api/model_run.hpp"
#include "api/results_detail.hpp"
#include "model/chloride_model.hpp"

namespace tbxrun {

namespace {

/// The engine's events, handed to the caller's observer.
class ObserverEvents final : public tbx::RunEvents {
 public:
  explicit ObserverEvents(Observer* observer) : observer_(observer) {}

  void text(std::string_view text) override {
    if (observer_) observer_->console(std::string(text));
  }
  void warning(const tbx::RunWarning& w) override {
    if (!observer_) return;
    Warning warning;
    warning.point = w.point;
    warning.simulation = w.simulation;
    warning.value = w.value;
    switch (w.kind) {
      case tbx::RunWarning::Kind::negative_diffusion:
        warning.kind = Warning::Kind::negative_diffusion;
        tbx::ChlorideModel::append_warning(warning.message, w.value);
        break;
      case tbx::RunWarning::Kind::not_a_number:
        warning.kind = Warning::Kind::beta_not_a_number;
        warning.message = "\n NaN \n";
        break;
    }
    observer_->warning(warning);
  }
  void progress(int point, int points, double t, std::int64_t done, std::int64_t nsim) override {
    current_ = {point, points, t, done, nsim};
    if (observer_) observer_->progress(current_);
  }
  void simulations_done(std::int64_t done) override {
    // Sampling, before the first time point, is no time point's progress.
    if (!observer_ || current_.point == 0 || done >= current_.simulations) return;
    current_.simulations_done = done;
    observer_->progress(current_);
  }
  bool cancelled() override { return observer_ && observer_->cancelled(); }

 private:
  Observer* observer_;
  Progress current_;  // of the time point being simulated
};

/// The results as data, from the series of a finished run.
Results results_of(const internal::ModelRun& run) {
  const tbx::SeriesResults& series = run.series();
  Results r;
  r.simulations = run.simulations();
  r.seed = run.seed();
  const auto nsim = static_cast<double>(r.simulations);
  for (std::size_t i = 0; i < series.failures.size(); ++i) {
    const auto point = static_cast<std::int64_t>(i + 1);
    r.times.push_back(series.times[point]);
    r.failures.push_back(series.failures[i]);
    r.pf.push_back(static_cast<double>(series.failures[i]) / nsim);
    r.pf_se.push_back(series.pf_se[point]);
    r.beta_cornell.push_back(series.beta[point]);
  }
  return r;
}

}  // namespace

Results internal::run_job(const Job& job, const Settings& settings, Observer* observer, const RunHooks& hooks) {
  const Job::Impl& impl = job.impl();
  return guarded(impl.file_name, [&] {
    if (impl.read_error) throw *impl.read_error;
    ObserverEvents events(observer);
    const tbx::Console console(events);
    std::unique_ptr<ModelRun> model =
        impl.model == Model::classic
            ? classic_run(impl, settings, hooks.cycles ? hooks.cycles : tbx::engine_cycles(settings.threads))
            : fib_run(impl, settings);
    model->check(console);
    if (hooks.before_simulation) hooks.before_simulation();
    console.stop_if_cancelled();
    model->simulate(console);
    Results results = results_of(*model);
    if (const tbx::SimulationModel* kept = model->kept()) {
      tbx::Summary summary = tbx::summarize(*kept, model->series(), model->summary_options());
      summary.provenance = tbx::run_provenance(impl.file_name, impl.text, model->seed());
      // A job file that could not be read twice (a pipe) has no known bytes.
      if (!impl.text_known) summary.provenance.job_sha256.clear();
      model->describe(summary);
      results.summary = std::move(summary);
    }
    results.detail = model->detail();
    return results;
  });
}

Results run(const Job& job, const Settings& settings, Observer* observer) {
  return internal::run_job(job, settings, observer, {});
}

}  // namespace tbxrun
