#include "summary/simulation_model.hpp"

#include <algorithm>
#include <cmath>

#include "fib/fib_model.hpp"
#include "job/cycle_engine.hpp"
#include "model/chloride_model.hpp"
#include "prob/normal.hpp"
#include "prob/random.hpp"
#include "prob/sampling.hpp"
#include "summary/prepared_vector.hpp"

namespace tbx {

SimulationModel::SimulationModel(std::int64_t nsim, int threads, const SeriesResults& results)
    : nsim_(nsim), threads_(threads), results_(results) {
  prepared_resize(first_failure_, static_cast<std::size_t>(nsim_));
  prepared_resize(load_before_, static_cast<std::size_t>(nsim_));
  prepared_resize(load_at_, static_cast<std::size_t>(nsim_));
}

void SimulationModel::run(double t, const RowStages& stages) {
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
  run_engine(t, recorded);
}

void SimulationModel::record(std::int64_t first, std::int64_t last) {
  if (first > last) return;
  const auto point = static_cast<std::int32_t>(times_.size());
  const IntVector& indicator = results_.indicator;
  // Plain pointers and the row stride held in registers: the stores below
  // could otherwise alias the vectors' and the matrix's own fields, which
  // would then be read again for every simulation.
  const RealMatrix& sim_results = results_.sim_results;
  const std::int64_t stride = sim_results.cols();
  const double* loads = &sim_results[first][2];  // S of simulation first
  std::int32_t* first_failure = first_failure_.data();
  double* before = load_before_.data();
  double* at = load_at_.data();
  std::int64_t count = 0;
  for (std::int64_t j = first; j <= last; ++j) {
    const std::int32_t failed = indicator[j];
    count += failed;
    const auto k = static_cast<std::size_t>(j - 1);
    if (first_failure[k] != 0) continue;
    if (failed != 0) {
      first_failure[k] = point;
      at[k] = loads[(j - first) * stride];
    } else {
      before[k] = loads[(j - first) * stride];
    }
  }
  failures_.back() += count;
}

namespace {

/// The simulations of one limit-state model, kept by its cycle engine.
template <typename Model>
class EngineSimulations final : public SimulationModel {
 public:
  EngineSimulations(const Model& model, std::int64_t nsim, std::int32_t seed, SeriesResults& results,
                    Console out, int threads)
      : SimulationModel(nsim, threads, results),
        seed_(seed),
        engine_(model, nsim, seed, results.indicator, results.sim_results, out, threads) {}

  bool time_random() const override { return model().time_random(); }
  bool age_shared() const override { return model().age_shared(); }
  double unit_load(double t) const override { return model().unit_load(t); }

  double load(std::int64_t j, double t) const override { return Point(*this, t).load(j); }

  void cover_loads(double t, std::vector<double>& s) const override {
    const Point point(*this, t);
    each_simulation(s, [&](std::int64_t j) { return point.cover_load(j); });
  }
  void limit_states(double t, std::vector<double>& g) const override {
    const Point point(*this, t);
    each_simulation(g, [&](std::int64_t j) { return resistance(j) - point.load(j); });
  }
  void limit_states_from_cover_loads(double t, std::vector<double>& s) const override {
    if constexpr (Model::COVER_LOAD_IS_LOAD) {
      each_simulation(s, [&](std::int64_t j) { return resistance(j) - s[static_cast<std::size_t>(j - 1)]; });
    } else {
      limit_states(t, s);
    }
  }
  bool fails(double g) const override { return Model::indicator(g) != 0; }
  double initiation_time(std::int64_t j) const override {
    return model().initiation_time(engine_.row(j), resistance(j));
  }
  CoverDistribution cover() const override { return model().cover(); }
  std::vector<Source> sources() const override { return model().sources(); }
  void fill_normals(const Source& source, std::vector<double>& z,
                    std::vector<std::uint32_t>* keys) const override;

  UniformLimitState limit_state_of(double t) const override {
    return [this, point = model().at(t)](const double* u) {
      typename Model::Kept kept{};
      double r = 0.0;
      if (model().sample(u, r, kept).fails()) return std::nan("");
      double tj = 0.0;
      std::int32_t texts = 0;
      if (!model().exposure_time(kept, point, tj, texts)) return std::nan("");
      return r - model().load(kept, point, tj);
    };
  }
  int uniforms() const override { return Model::UNIFORMS; }
  void simulation_uniforms(std::int64_t j, double* u) const override {
    std::int32_t seed = seed_after_draws(seed_, (j - 1) * Model::UNIFORMS);
    for (int c = 1; c <= Model::UNIFORMS; ++c) uniform_deviate(seed, u[c]);
  }
  double variable_value(const Source& source, double u) const override {
    return model().variable_value(source.column, u);
  }

 private:
  const Model& model() const { return engine_.model(); }
  /// out[j - 1] = f(j) for every simulation j, on the analysis' threads.
  template <typename F>
  void each_simulation(std::vector<double>& out, const F& f) const {
    prepared_resize(out, static_cast<std::size_t>(nsim()));
    constexpr std::int64_t CHUNK = 4096;
    for_each_chunk((nsim() + CHUNK - 1) / CHUNK, threads(), [&](std::int64_t c) {
      for (std::int64_t j = c * CHUNK + 1, last = std::min(nsim(), (c + 1) * CHUNK); j <= last; ++j) {
        out[static_cast<std::size_t>(j - 1)] = f(j);
      }
    });
  }
  void run_engine(double t, const RowStages& stages) override { engine_.run(t, stages); }

  /// Every simulation at one exposure time.
  class Point {
   public:
    Point(const EngineSimulations& owner, double t) : owner_(owner), point_(owner.model().at(t)) {}
    // The model's own evaluation on the engine's kept values, so that G at
    // a time point of the series has the bits the series saw.
    double load(std::int64_t j) const {
      double tj = 0.0;
      const auto kept = owner_.engine_.row(j);
      return exposure_time(kept, tj) ? owner_.model().load(kept, point_, tj) : std::nan("");
    }
    double cover_load(std::int64_t j) const {
      double tj = 0.0;
      const auto kept = owner_.engine_.row(j);
      return exposure_time(kept, tj) ? owner_.model().cover_load(kept, point_, tj, owner_.resistance(j))
                                     : std::nan("");
    }

   private:
    template <typename Kept>
    bool exposure_time(const Kept& kept, double& tj) const {
      std::int32_t texts = 0;
      return owner_.model().exposure_time(kept, point_, tj, texts);
    }
    const EngineSimulations& owner_;
    typename Model::TimePoint point_;
  };

  std::int32_t seed_;
  CycleEngine<Model> engine_;
};

template <typename Model>
void EngineSimulations<Model>::fill_normals(const Source& source, std::vector<double>& z,
                                           std::vector<std::uint32_t>* keys) const {
  // The uniform number of column c in simulation j is draw
  // UNIFORMS (j - 1) + c of the generator: from the first one on, each is
  // the one before times 16807^UNIFORMS modulo 2^31 - 1.
  constexpr std::uint64_t MODULUS = PM_MODULUS;
  std::uint64_t step = 1;
  for (int k = 0; k < Model::UNIFORMS; ++k) step = step * PM_MULTIPLIER % MODULUS;
  std::int32_t seed = seed_;
  double u = 0;
  for (int k = 0; k < source.column; ++k) uniform_deviate(seed, u);
  auto state = static_cast<std::uint64_t>(static_cast<std::uint32_t>(seed ^ SEED_MASK));
  // The classic normal sampler folds a uniform number beyond 0.0005 or
  // 0.9995 onto the 5 % or 95 % quantile: the equivalent of what such an
  // input received is that folded value; other inputs are exact inversions
  // of their numbers. For correlations the fast quantile is exact enough.
  const double folded = std::sqrt(2.0) * normal_core(1.0);
  // Keys: twice the state; a folded value sits just after the largest state
  // whose quantile does not exceed it (found by bisection on the states).
  auto key_after = [&](double value) {
    std::uint64_t low = 0, high = MODULUS;  // quantile(low) <= value < quantile(high)
    while (high - low > 1) {
      const std::uint64_t mid = (low + high) / 2;
      (normal_quantile_fast(static_cast<double>(mid) * PM_SCALE) <= value ? low : high) = mid;
    }
    return static_cast<std::uint32_t>(2 * low + 1);
  };
  std::uint32_t low_key = 0, high_key = 0;
  if (keys) {
    prepared_resize(*keys, static_cast<std::size_t>(nsim()));
    if (source.folded) {
      low_key = key_after(-folded);
      high_key = key_after(folded);
    }
  }
  prepared_resize(z, static_cast<std::size_t>(nsim()));
  // Plain pointers and flags held outside the loop: around the call to the
  // quantile the vectors' fields would otherwise be read again each time.
  double* out = z.data();
  std::uint32_t* key_out = keys ? keys->data() : nullptr;
  const bool folds = source.folded;
  for (std::int64_t j = 0, n = nsim(); j < n; ++j) {
    const double uj = static_cast<double>(state) * PM_SCALE;
    const auto key = static_cast<std::uint32_t>(2 * state);
    // state * step modulo 2^31 - 1, without a division: 2^31 is 1 modulo it.
    const std::uint64_t product = state * step;
    state = (product & MODULUS) + (product >> 31);
    if (state >= MODULUS) state -= MODULUS;
    const double y = 2.0 * uj - 1.0;
    double v = 0;
    std::uint32_t k = key;
    if (folds && y < -0.999) {
      v = -folded;
      k = low_key;
    } else if (folds && y > 0.999) {
      v = folded;
      k = high_key;
    } else {
      v = normal_quantile_fast(uj);
    }
    out[j] = v;
    if (key_out) key_out[j] = k;
  }
}

}  // namespace

std::unique_ptr<SimulationModel> keep_simulations(const ChlorideModel& model, std::int64_t nsim, std::int32_t seed,
                                                  SeriesResults& results, Console out, int threads) {
  return std::make_unique<EngineSimulations<ChlorideModel>>(model, nsim, seed, results, out, threads);
}

std::unique_ptr<SimulationModel> keep_simulations(const FibModel& model, std::int64_t nsim, std::int32_t seed,
                                                  SeriesResults& results, Console out, int threads) {
  return std::make_unique<EngineSimulations<FibModel>>(model, nsim, seed, results, out, threads);
}

CycleFactory summary_cycles(std::unique_ptr<SimulationModel>& into, int threads) {
  return [&into, threads](const JobData& job, SeriesResults& results, Console out) -> Cycle {
    into = keep_simulations(ChlorideModel(job), job.nsim, job.seed, results, out, threads);
    return [model = into.get()](double t, const RowStages& stages) { model->run(t, stages); };
  };
}

}  // namespace tbx
