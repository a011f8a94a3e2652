#include "job/cycle_engine.hpp"

#include <algorithm>
#include <cstdint>

#include "core/fatal.hpp"
#include "core/parallel.hpp"
#include "fib/fib_model.hpp"
#include "model/chloride_model.hpp"
#include "prob/inverse_beta.hpp"
#include "prob/random.hpp"

namespace tbx {

namespace {

constexpr const char* CONTINUED_FRACTION_TEXT = "\n NaN \n";
constexpr std::size_t CONSOLE_FLUSH_SIZE = 1 << 16;

void append_texts(std::string& text, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) text += CONTINUED_FRACTION_TEXT;
}

}  // namespace

template <typename Model>
CycleEngine<Model>::CycleEngine(const Model& model, std::int64_t nsim, std::int32_t seed, IntVector& indicator,
                                RealMatrix& sim_results, Console out, int threads, std::int64_t chunk_size)
    : model_(model),
      nsim_(nsim),
      indicator_(indicator),
      sim_results_(sim_results),
      out_(out),
      threads_(threads_to_use(threads)),
      chunk_(chunk_size > 0 ? chunk_size : DEFAULT_CHUNK) {
  for (int k = 0; k < Model::KEPT; ++k) {
    if (model_.varies()[static_cast<std::size_t>(k)]) varying_.push_back(k);
  }
  block_ = PageBlock(static_cast<std::int64_t>(varying_.size()) * nsim_);
  for (std::size_t k = 0; k < columns_.size(); ++k) columns_[k] = &model_.constant()[k];
  for (std::size_t i = 0; i < varying_.size(); ++i) {
    const auto k = static_cast<std::size_t>(varying_[i]);
    columns_[k] = block_.data() + static_cast<std::int64_t>(i) * nsim_;
    steps_[k] = 1;
  }
  // The caller's results are first written here too.
  prepare_pages(&sim_results_[1][1], static_cast<std::size_t>(nsim_ * 3) * sizeof(double));
  prepare_pages(indicator_.data(), static_cast<std::size_t>(nsim_) * sizeof(indicator_[1]));

  // The generator runs through the simulations in order, UNIFORMS numbers
  // each; each chunk starts where the ones before it leave the generator.
  const std::int64_t chunks = chunk_count();
  std::vector<std::int32_t> chunk_seed(static_cast<std::size_t>(chunks));
  for (std::int64_t c = 0; c < chunks; ++c) {
    chunk_seed[static_cast<std::size_t>(c)] = seed_after_draws(seed, c * chunk_ * Model::UNIFORMS);
  }
  notes_.assign(static_cast<std::size_t>(chunks), {});
  ChunkPoll poll(out_);
  for_each_chunk(chunks, threads_, [&](std::int64_t c) {
    sample_chunk(c, chunk_seed[static_cast<std::size_t>(c)]);
    poll.done(last_of(c) - first_of(c) + 1);
  });
}

template <typename Model>
std::int64_t CycleEngine<Model>::last_of(std::int64_t chunk) const {
  return std::min(nsim_, first_of(chunk) + chunk_ - 1);
}

template <typename Model>
void CycleEngine<Model>::sample_chunk(std::int64_t chunk, std::int32_t seed) {
  auto& notes = notes_[static_cast<std::size_t>(chunk)];
  for (std::int64_t j = first_of(chunk), last = last_of(chunk); j <= last; ++j) {
    double u[Model::UNIFORMS + 1];
    for (int k = 1; k <= Model::UNIFORMS; ++k) uniform_deviate(seed, u[k]);
    typename Model::Kept kept{};
    Note note;
    note.sim = j;
    note.events = model_.sample(u, sim_results_[j][1], kept);
    if (note.events.any()) notes.push_back(note);
    if (note.events.fails()) return;  // the run ends here; nothing after it is ever used
    for (std::size_t i = 0; i < varying_.size(); ++i) {
      block_.data()[static_cast<std::int64_t>(i) * nsim_ + j - 1] = kept[static_cast<std::size_t>(varying_[i])];
    }
  }
}

template <typename Model>
void CycleEngine<Model>::run(double t, const RowStages& stages) {
  ++point_;
  const typename Model::TimePoint point = model_.at(t);
  const std::int64_t chunks = chunk_count();
  std::vector<std::vector<TimeNote>> time_notes(static_cast<std::size_t>(chunks));
  const auto stage = [&](const std::function<void(std::int64_t, std::int64_t)>& f) -> std::function<void(std::int64_t)> {
    if (!f) return [](std::int64_t) {};
    return [&](std::int64_t c) { f(first_of(c), last_of(c)); };
  };
  ChunkPoll poll(out_);
  const auto evaluate = [&](std::int64_t c) {
    evaluate_chunk(c, point, time_notes[static_cast<std::size_t>(c)]);
    poll.done(last_of(c) - first_of(c) + 1);
  };
  if (stages.before || stages.after) {
    // The stages read the rows the evaluation writes: done by the thread that
    // evaluates them, right before and after, the rows stay in its cache.
    for_each_chunk_in_sequence(chunks, threads_, stages.before ? stage(stages.before) : nullptr, evaluate,
                               stages.after ? stage(stages.after) : nullptr);
  } else {
    for_each_chunk(chunks, threads_, evaluate);
  }
  replay(time_notes);
}

template <typename Model>
void CycleEngine<Model>::evaluate_chunk(std::int64_t chunk, const typename Model::TimePoint& point,
                                        std::vector<TimeNote>& notes) {
  for (std::int64_t j = first_of(chunk), last = last_of(chunk); j <= last; ++j) {
    const KeptRow kept{this, j - 1};
    double tj = point.t;
    TimeNote note;
    note.sim = j;
    note.fails = !model_.exposure_time(kept, point, tj, note.texts);
    if (note.texts > 0 || note.fails) notes.push_back(note);
    if (note.fails) return;
    auto row = sim_results_[j];
    const double s = model_.load(kept, point, tj);
    const double g = row[1] - s;
    row[2] = s;
    row[3] = g;
    indicator_[j] = Model::indicator(g);
  }
}

template <typename Model>
void CycleEngine<Model>::replay(const std::vector<std::vector<TimeNote>>& time_notes) {
  console_.clear();
  warnings_.clear();
  auto flush = [&] {
    out_.text(console_);
    console_.clear();
    for (const RunWarning& w : warnings_) out_.warning(w);
    warnings_.clear();
  };
  // The warnings as data, for a console that takes them.
  const auto note = [&](RunWarning::Kind kind, std::int64_t sim, std::int32_t count, double value) {
    if (!out_.typed()) return;
    for (std::int32_t i = 0; i < count; ++i) warnings_.push_back({kind, point_, sim, value});
  };
  const auto texts = [&](std::int64_t sim, std::int32_t count) {
    append_texts(console_, count);
    note(RunWarning::Kind::not_a_number, sim, count, 0.0);
  };
  for (std::size_t c = 0; c < notes_.size(); ++c) {
    const auto& fixed = notes_[c];
    const auto& timed = time_notes[c];
    std::size_t a = 0;
    std::size_t b = 0;
    while (a < fixed.size() || b < timed.size()) {
      const std::int64_t sim = std::min(a < fixed.size() ? fixed[a].sim : INT64_MAX,
                                        b < timed.size() ? timed[b].sim : INT64_MAX);
      const Note none;
      const TimeNote no_time;
      const SampleNotes& events = a < fixed.size() && fixed[a].sim == sim ? fixed[a++].events : none.events;
      const TimeNote& time_note = b < timed.size() && timed[b].sim == sim ? timed[b++] : no_time;
      texts(sim, events.texts_before_time);
      bool fails = events.fails_at == 1;
      if (!fails) {
        texts(sim, time_note.texts);
        fails = time_note.fails;
      }
      if (!fails) {
        texts(sim, events.texts_after_time);
        fails = events.fails_at == 2;
      }
      if (fails) {
        flush();
        fatal_error(BETAINV_NOT_CONVERGED, 0);
      }
      if (events.warns) {
        Model::append_warning(console_, events.warning_value);
        note(RunWarning::Kind::negative_diffusion, sim, 1, events.warning_value);
      }
      if (console_.size() >= CONSOLE_FLUSH_SIZE) flush();
    }
  }
  flush();
}

template class CycleEngine<ChlorideModel>;
template class CycleEngine<FibModel>;

}  // namespace tbx
