#include "summary/simulation_model.hpp"

#include <cmath>

#include "job/chloride_model.hpp"
#include "prob/random.hpp"
#include "summary/normal.hpp"
#include "summary/prepared_vector.hpp"

namespace tbx {

CycleFactory SimulationModel::cycles() {
  return [this](const JobData& job, std::FILE* out) -> Cycle {
    job_ = &job;
    nsim_ = job.nsim;
    engine_ = std::make_shared<CycleEngine>(job, out, threads_);
    prepared_resize(first_failure_, static_cast<std::size_t>(nsim_));
    prepared_resize(load_before_, static_cast<std::size_t>(nsim_));
    prepared_resize(load_at_, static_cast<std::size_t>(nsim_));
    return [this](double t, IntVector& indicator, RealMatrix& sim_results) {
      engine_->run(t, indicator, sim_results);
      record(t, indicator, sim_results);
    };
  };
}

void SimulationModel::record(double t, const IntVector& indicator, const RealMatrix& sim_results) {
  times_.push_back(t);
  const auto point = static_cast<std::int32_t>(times_.size());
  std::int64_t count = 0;
  std::int32_t* first = first_failure_.data();
  const std::int32_t* failed = indicator.data();
  const double* s = &sim_results[1][2];
  const auto stride = sim_results.cols();
  for (std::int64_t j = 0; j < nsim_; ++j) {
    count += failed[j];
    if (first[j] != 0) continue;
    const double load = s[j * stride];
    if (failed[j] != 0) {
      first[j] = point;
      load_at_[static_cast<std::size_t>(j)] = load;
    } else {
      load_before_[static_cast<std::size_t>(j)] = load;
    }
  }
  failures_.push_back(count);
}

bool SimulationModel::time_random() const { return job_->dist_type[TIME] != D; }

bool SimulationModel::age_shared() const {
  const JobData& job = *job_;
  return !time_random() && job.dist_type[AGE_N] == D && job.dist_type[TE] == D && job.dist_type[TO] == D;
}

double SimulationModel::unit_load(double t) const {
  const JobData& job = *job_;
  const double n = job.dist_param[1][AGE_N];
  return tbx::load(1.0, t, age_factor(job.dist_param[1][TE] / 365, job.dist_param[1][TO] / 365, 1 - n, n, t), 1.0, 1.0);
}

SimulationModel::AtTime SimulationModel::at(double t) const { return AtTime(*this, t); }

SimulationModel::AtTime::AtTime(const SimulationModel& model, double t)
    : model_(&model), kept_(model.engine_->retained()), t_(t) {
  const JobData& job = *model.job_;
  if (model.time_random()) time_sampler_.emplace(job.dist_type[TIME], t, job.dist_param[2][TIME]);
  shared_age_ = job.dist_type[AGE_N] == D && job.dist_type[TE] == D && job.dist_type[TO] == D;
  if (shared_age_ && !time_sampler_) {
    const double n = job.dist_param[1][AGE_N];
    age_ = age_factor(job.dist_param[1][TE] / 365, job.dist_param[1][TO] / 365, 1 - n, n, t);
  }
}

double SimulationModel::AtTime::resistance(std::int64_t j) const { return model_->resistance(j); }

double SimulationModel::AtTime::load(std::int64_t j) const {
  // The same evaluation as the engine's, so that G at a time point of the
  // series has the bits the series saw.
  const JobData& job = *model_->job_;
  const CycleEngine::Retained& kept = kept_;
  double tj = t_;
  if (time_sampler_) {
    int texts = 0;
    if (!time_sampler_->draw(kept.u_time[j], tj, texts)) return std::nan("");
  }
  double age = age_;
  if (!shared_age_ || time_sampler_) {
    const double n = kept.n.size() > 0 ? kept.n[j] : job.dist_param[1][AGE_N];
    const double te = kept.te_years.size() > 0 ? kept.te_years[j] : job.dist_param[1][TE] / 365;
    const double to = kept.to_years.size() > 0 ? kept.to_years[j] : job.dist_param[1][TO] / 365;
    age = age_factor(te, to, 1 - n, n, tj);
  }
  return tbx::load(kept.prefix[j], tj, age, kept.depth[j], kept.model_factor[j]);
}

std::vector<SimulationModel::Source> SimulationModel::sources() const {
  const JobData& job = *job_;
  static const char* const NAMES[] = {"", "xc", "Dcoef", "Ccr", "Cs", "n", "t", "to", "temp", "te"};
  std::vector<Source> out;
  for (int i = 1; i <= N_VARIABLES; ++i) {
    const bool random = job.dist_type[i] != D;
    if (!random && i != TEMP) continue;  // column 8 always drives the model factor
    Source s;
    s.variable = random ? NAMES[i] : "model_factor";
    if (random) s.drives.push_back(NAMES[i]);
    if (i == TEMP) {
      s.drives.push_back("model_factor");
      if (job.analysis_mode == 1) s.drives.push_back("dcoef_factor");
    }
    s.column = i;
    s.folded = job.dist_type[i] != B;
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
