#include "job/plain_cycle.hpp"

#include <string>

#include "core/fatal.hpp"
#include "fib/fib_model.hpp"
#include "model/chloride_model.hpp"
#include "prob/inverse_beta.hpp"
#include "prob/random.hpp"

namespace tbx {

namespace {

void write_texts(std::int32_t count, Console out) {
  for (std::int32_t i = 0; i < count; ++i) out.text("\n NaN \n");
}

void settle(bool fails, Console out) {
  if (!fails) return;
  out.flush();
  fatal_error(BETAINV_NOT_CONVERGED, 0);
}

}  // namespace

template <typename Model>
void plain_cycle(const Model& model, std::int64_t nsim, std::int32_t seed, double t, IntVector& indicator,
                 RealMatrix& sim_results, Console out) {
  const typename Model::TimePoint point = model.at(t);
  std::int32_t state = seed;
  std::string warning;
  for (std::int64_t j = 1; j <= nsim; ++j) {
    double u[Model::UNIFORMS + 1];
    for (int k = 1; k <= Model::UNIFORMS; ++k) uniform_deviate(state, u[k]);
    typename Model::Kept kept{};
    double r = 0.0;
    const SampleNotes events = model.sample(u, r, kept);
    write_texts(events.texts_before_time, out);
    settle(events.fails_at == 1, out);
    double tj = t;
    std::int32_t texts = 0;
    const bool drawn = model.exposure_time(kept, point, tj, texts);
    write_texts(texts, out);
    settle(!drawn, out);
    write_texts(events.texts_after_time, out);
    settle(events.fails_at == 2, out);
    if (events.warns) {
      warning.clear();
      Model::append_warning(warning, events.warning_value);
      out.text(warning);
    }
    const double s = model.load(kept, point, tj);
    const double g = r - s;
    sim_results[j][1] = r;
    sim_results[j][2] = s;
    sim_results[j][3] = g;
    indicator[j] = Model::indicator(g);
  }
}

template void plain_cycle(const ChlorideModel&, std::int64_t, std::int32_t, double, IntVector&, RealMatrix&,
                          Console);
template void plain_cycle(const FibModel&, std::int64_t, std::int32_t, double, IntVector&, RealMatrix&, Console);

}  // namespace tbx
