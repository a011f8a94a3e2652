// The steps of a run that belong to a classic job.

#include <algorithm>
#include <optional>

#include "api/errors.hpp"
#include "api/model_run.hpp"
#include "api/results_detail.hpp"
#include "check/check_job.hpp"
#include "check/distribution.hpp"
#include "input/validate.hpp"
#include "job/memory_check.hpp"
#include "job/profile_fit.hpp"
#include "summary/simulation_model.hpp"

namespace tbxrun::internal {

namespace {

using namespace tbx;

/// A copy of the job as read, for the run to change.
JobData copy_of(const JobData& read) {
  JobData job;
  alloc_job_arrays(job);
  job.project_name = read.project_name;
  job.seed_mode = read.seed_mode;
  job.analysis_mode = read.analysis_mode;
  job.n_intervals = read.n_intervals;
  job.n_points = read.n_points;
  job.predict_profile = read.predict_profile;
  for (int v = 1; v <= N_VARIABLES; ++v) {
    job.dist_code[v] = read.dist_code[v];
    job.dist_type[v] = read.dist_type[v];
    job.dist_param[1][v] = read.dist_param[1][v];
    job.dist_param[2][v] = read.dist_param[2][v];
  }
  for (int i = 1; i <= N_PROFILE; ++i) {
    job.profile_depth[i] = read.profile_depth[i];
    job.profile_cl[i] = read.profile_cl[i];
  }
  job.nsim = read.nsim;
  job.seed = read.seed;
  job.tp = read.tp;
  return job;
}

/// Each variable's distribution and parameters as the job file gives them.
std::vector<ResolvedInput> classic_resolved_inputs(const JobData& job) {
  std::vector<ResolvedInput> out;
  for (int v = 1; v <= N_VARIABLES; ++v) {
    const VariableInfo& info = variable_info(v);
    ResolvedInput r;
    r.name = std::string(info.name);
    r.unit = info.unit.empty() ? "-" : std::string(info.unit);
    r.distribution = std::string(distribution_name(job.dist_type[v]));
    r.parameters = {{"first_parameter", job.dist_param[1][v]}, {"second_parameter", job.dist_param[2][v]}};
    r.origin = "given";
    out.push_back(std::move(r));
  }
  return out;
}

class ClassicRun final : public ModelRun {
 public:
  ClassicRun(const Job::Impl& job, const Settings& settings, CycleFactory cycles)
      : read_(job), detail_(std::make_shared<Results::Detail>()), settings_(settings), cycles_(std::move(cycles)) {
    detail_->model = Model::classic;
    detail_->job_name = job.job_name;
    detail_->file_name = job.file_name;
    detail_->base = job.base_name;
    detail_->threads = settings.threads;
    detail_->classic = copy_of(job.classic);
    alloc_matrix(detail_->predicted_profile, 2, N_PROFILE);
    options_.target_beta = settings.target_beta.value_or(options_.target_beta);
    options_.design_life = settings.design_life;
    options_.sobol_simulations = settings.sobol_simulations;
  }

  void check(Console console) override {
    try {
      validate_job(job(), console);
    } catch (const FatalError& error) {
      throw broken_rule(error);
    }
    check_design_life(job(), options_);
    check_memory(memory_needed(job(), settings_.summary, settings_.threads));
  }

  void simulate(Console console) override {
    if (job().analysis_mode == 2) apply_profile_fit(job(), detail_->predicted_profile, settings_.threads);
    // The seed of a clock-seeded job and the single time point of a series
    // without a span are settled here, in the job the reports are made from.
    run_time_series(job(), detail_->series, console,
                    settings_.summary ? summary_cycles(kept_, settings_.threads) : cycles_);
  }

  const SeriesResults& series() const override { return detail_->series; }
  std::int64_t simulations() const override { return detail_->classic.nsim; }
  std::int32_t seed() const override { return detail_->classic.seed; }
  const SimulationModel* kept() const override { return kept_.get(); }
  const SummaryOptions& summary_options() const override { return options_; }
  void describe(Summary& summary) const override {
    summary.provenance.inputs = classic_resolved_inputs(detail_->classic);
  }
  std::shared_ptr<Results::Detail> detail() override { return std::move(detail_); }

 private:
  JobData& job() { return detail_->classic; }

  /// The error of the job's first broken rule, with the field and value at
  /// fault and how to mend it, as the checker reports it.
  Error broken_rule(const FatalError& error) const {
    std::optional<Finding> first;
    for_each_violation(read_.classic, [&](const Violation& v) {
      if (!first) first = finding_of(validation_finding(read_.classic, read_.trace, v), read_.file_name);
    });
    if (!first) return error_of(error, read_.file_name);
    return Error(Error::Kind::invalid_job, std::move(*first), error.report());
  }

  const Job::Impl& read_;  // the job as read; the caller holds it during the run
  std::shared_ptr<Results::Detail> detail_;
  Settings settings_;
  CycleFactory cycles_;
  SummaryOptions options_;
  std::unique_ptr<SimulationModel> kept_;
};

}  // namespace

std::unique_ptr<ModelRun> classic_run(const Job::Impl& job, const Settings& settings, CycleFactory cycles) {
  return std::make_unique<ClassicRun>(job, settings, std::move(cycles));
}

}  // namespace tbxrun::internal
