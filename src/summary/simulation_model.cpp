#include "summary/simulation_model.hpp"

#include <cmath>

#include "prob/random.hpp"
#include "prob/normal.hpp"
#include "summary/prepared_vector.hpp"

namespace tbx {

CycleFactory SimulationModel::cycles() {
  return [this](const JobData& job, SeriesResults& results, std::FILE* out) -> Cycle {
    job_ = &job;
    nsim_ = job.nsim;
    results_ = &results;
    engine_ = std::make_shared<Engine>(ChlorideModel(job), job.nsim, job.seed, results.indicator,
                                       results.sim_results, out, threads_);
    prepared_resize(first_failure_, static_cast<std::size_t>(nsim_));
    prepared_resize(load_before_, static_cast<std::size_t>(nsim_));
    prepared_resize(load_at_, static_cast<std::size_t>(nsim_));
    return [this](double t, const RowStages& stages) {
      times_.push_back(t);
      failures_.push_back(0);
      // Each range of rows is recorded once the engine has written it, in
      // ascending order like the series' own statistics.
      RowStages recorded;
      recorded.before = stages.before;
      recorded.after = [this, &stages](std::int64_t first, std::int64_t last) {
        if (stages.after) stages.after(first, last);
        record(first, last);
      };
      engine_->run(t, recorded);
    };
  };
}

void SimulationModel::record(std::int64_t first, std::int64_t last) {
  const auto point = static_cast<std::int32_t>(times_.size());
  const IntVector& indicator = results_->indicator;
  const RealMatrix& sim_results = results_->sim_results;
  std::int64_t count = 0;
  for (std::int64_t j = first; j <= last; ++j) {
    const std::int32_t failed = indicator[j];
    count += failed;
    const auto k = static_cast<std::size_t>(j - 1);
    if (first_failure_[k] != 0) continue;
    const double load = sim_results[j][2];
    if (failed != 0) {
      first_failure_[k] = point;
      load_at_[k] = load;
    } else {
      load_before_[k] = load;
    }
  }
  failures_.back() += count;
}

bool SimulationModel::time_random() const { return is_random(job_->dist_type[TIME]); }

bool SimulationModel::age_shared() const {
  const JobData& job = *job_;
  return !time_random() && !is_random(job.dist_type[AGE_N]) && !is_random(job.dist_type[TE]) &&
         !is_random(job.dist_type[TO]);
}

double SimulationModel::unit_load(double t) const {
  const ChlorideModel& model = engine_->model();
  ChlorideModel::Kept unit = model.constant();
  unit[ChlorideModel::PREFIX] = 1.0;
  unit[ChlorideModel::DEPTH] = 1.0;
  unit[ChlorideModel::MODEL_FACTOR] = 1.0;
  return model.load(unit, model.at(t), t);
}

SimulationModel::AtTime SimulationModel::at(double t) const { return AtTime(*this, t); }

SimulationModel::AtTime::AtTime(const SimulationModel& model, double t)
    : model_(&model), point_(model.engine_->model().at(t)) {}

double SimulationModel::AtTime::resistance(std::int64_t j) const { return model_->resistance(j); }

double SimulationModel::AtTime::load(std::int64_t j) const {
  // The model's own evaluation on the engine's kept values, so that G at a
  // time point of the series has the bits the series saw.
  const Engine& engine = *model_->engine_;
  const Engine::KeptRow kept = engine.row(j);
  double tj = 0.0;
  std::int32_t texts = 0;
  if (!engine.model().exposure_time(kept, point_, tj, texts)) return std::nan("");
  return engine.model().load(kept, point_, tj);
}

std::vector<SimulationModel::Source> SimulationModel::sources() const {
  const JobData& job = *job_;
  static const char* const NAMES[] = {"", "xc", "Dcoef", "Ccr", "Cs", "n", "t", "to", "temp", "te"};
  std::vector<Source> out;
  for (int i = 1; i <= N_VARIABLES; ++i) {
    const bool random = is_random(job.dist_type[i]);
    if (!random && i != TEMP) continue;  // column 8 always drives the model factor
    Source s;
    s.variable = random ? NAMES[i] : "model_factor";
    if (random) s.drives.push_back(NAMES[i]);
    if (i == TEMP) {
      s.drives.push_back("model_factor");
      if (job.analysis_mode == 1) s.drives.push_back("dcoef_factor");
    }
    s.column = i;
    s.folded = job.dist_type[i] != Distribution::beta;
    out.push_back(std::move(s));
  }
  return out;
}

void SimulationModel::fill_normals(const Source& source, std::vector<double>& z) const {
  // The uniform number of column c in simulation j is draw 9 (j - 1) + c of
  // the generator: from the first one on, each is the one before times
  // 16807^9 modulo 2^31 - 1.
  constexpr std::uint64_t MODULUS = PM_MODULUS;
  std::uint64_t step = 1;
  for (int k = 0; k < N_VARIABLES; ++k) step = step * PM_MULTIPLIER % MODULUS;
  std::int32_t seed = job_->seed;
  double u = 0;
  for (int k = 0; k < source.column; ++k) uniform_deviate(seed, u);
  auto state = static_cast<std::uint64_t>(static_cast<std::uint32_t>(seed ^ SEED_MASK));
  // The sampler folds a normal uniform number beyond 0.0005 or 0.9995 onto
  // the 5 % or 95 % quantile: the equivalent of what a normal input received
  // is that folded value; a beta input is an exact inversion of its number.
  // For correlations the fast quantile is exact enough.
  const double folded = std::sqrt(2.0) * normal_core(1.0);
  prepared_resize(z, static_cast<std::size_t>(nsim_));
  for (std::int64_t j = 0; j < nsim_; ++j) {
    u = static_cast<double>(state) * PM_SCALE;
    // state * step modulo 2^31 - 1, without a division: 2^31 is 1 modulo it.
    const std::uint64_t product = state * step;
    state = (product & MODULUS) + (product >> 31);
    if (state >= MODULUS) state -= MODULUS;
    const double y = 2.0 * u - 1.0;
    double v = 0;
    if (source.folded && y < -0.999) {
      v = -folded;
    } else if (source.folded && y > 0.999) {
      v = folded;
    } else {
      v = normal_quantile_fast(u);
    }
    z[static_cast<std::size_t>(j)] = v;
  }
}

}  // namespace tbx
