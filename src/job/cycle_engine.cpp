#include "job/cycle_engine.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

#include "core/fatal.hpp"
#include "job/chloride_model.hpp"
#include "job/cycle.hpp"
#include "core/parallel.hpp"
#include "prob/inverse_beta.hpp"
#include "prob/random.hpp"

namespace tbx {

namespace {

constexpr const char* CONTINUED_FRACTION_TEXT = "\n NaN \n";
constexpr std::size_t CONSOLE_FLUSH_SIZE = 1 << 16;

bool is_random(std::int32_t type) { return type != D; }

constexpr std::uintptr_t HUGE_PAGE = std::uintptr_t{1} << 21;

void append_texts(std::string& text, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) text += CONTINUED_FRACTION_TEXT;
}

}  // namespace

CycleEngine::PerSimulation::~PerSimulation() {
  if (map_ != nullptr) ::munmap(map_, mapped_);
}

double* CycleEngine::PerSimulation::allocate(std::int64_t doubles) {
  if (doubles < 0 || static_cast<std::uint64_t>(doubles) > SIZE_MAX / sizeof(double) - HUGE_PAGE) {
    fatal_error(MEMORY_ALLOCATION_FAILED, 0);
  }
  const std::size_t bytes = static_cast<std::size_t>(doubles) * sizeof(double);
  // Mapped with a huge page's worth to spare, so that the arrays can start
  // on a huge page boundary. The pages never touched cost nothing.
  mapped_ = bytes + HUGE_PAGE;
  map_ = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map_ == MAP_FAILED) {
    map_ = nullptr;
    fatal_error(MEMORY_ALLOCATION_FAILED, 0);
  }
  auto* const first = reinterpret_cast<double*>((reinterpret_cast<std::uintptr_t>(map_) + HUGE_PAGE - 1) &
                                                 ~(HUGE_PAGE - 1));
  prepare_pages(first, bytes);
  return first;
}

CycleEngine::CycleEngine(const JobData& job, std::FILE* out, int threads, std::int64_t chunk_size)
    : job_(job),
      out_(out),
      threads_(threads > 0 ? threads : available_cpus()),
      chunk_(std::max<std::int64_t>(1, chunk_size)),
      nsim_(job.nsim),
      time_random_(is_random(job.dist_type[TIME])),
      n_random_(is_random(job.dist_type[AGE_N])),
      te_random_(is_random(job.dist_type[TE])),
      to_random_(is_random(job.dist_type[TO])),
      temp_from_core8_(job.dist_type[TEMP] == N || job.dist_type[TEMP] == LN) {
  samplers_.reserve(N_VARIABLES);
  for (int i = 1; i <= N_VARIABLES; ++i) {
    // The time's sampler depends on the time point and is made per cycle.
    const bool time = i == TIME;
    samplers_.emplace_back(time ? D : job.dist_type[i], job.dist_param[1][i], job.dist_param[2][i]);
  }
}

void CycleEngine::sample_fixed_part(RealMatrix& sim_results) {
  // One block for all per-simulation arrays, zero-filled.
  Span1<double>* const columns[] = {&depth_, &prefix_, &model_factor_, &n_, &te_years_, &to_years_, &u_time_};
  const bool needed[] = {true, true, true, n_random_, te_random_, to_random_, time_random_};
  const auto count = static_cast<std::int64_t>(std::count(std::begin(needed), std::end(needed), true));
  per_simulation_ = std::make_unique<PerSimulation>();
  double* next = per_simulation_->allocate(count * nsim_);
  for (std::size_t i = 0; i < std::size(columns); ++i) {
    if (!needed[i]) continue;
    *columns[i] = Span1<double>(next, nsim_);
    next += nsim_;
  }
  // The caller's results are first written here too.
  prepare_pages(&sim_results[1][1], static_cast<std::size_t>(nsim_ * 3) * sizeof(double));

  // The generator runs through the simulations in order, nine numbers each;
  // each chunk starts where the ones before it leave the generator.
  const std::int64_t chunks = chunk_count();
  std::vector<std::int32_t> chunk_seed(static_cast<std::size_t>(chunks));
  for (std::int64_t c = 0; c < chunks; ++c) {
    chunk_seed[static_cast<std::size_t>(c)] = seed_after_draws(job_.seed, c * chunk_ * N_VARIABLES);
  }
  notes_.assign(static_cast<std::size_t>(chunks), {});
  for_each_chunk(chunks, threads_,
                 [&](std::int64_t c) { sample_chunk(c, chunk_seed[static_cast<std::size_t>(c)], sim_results); });
  resistance_in_ = &sim_results[1][1];
}

void CycleEngine::sample_chunk(std::int64_t chunk, std::int32_t seed, RealMatrix& sim_results) {
  auto& notes = notes_[static_cast<std::size_t>(chunk)];
  const std::int64_t first = chunk * chunk_ + 1;
  const std::int64_t last = std::min(nsim_, first + chunk_ - 1);
  for (std::int64_t j = first; j <= last; ++j) {
    double u[N_VARIABLES + 1];
    for (int k = 1; k <= N_VARIABLES; ++k) uniform_deviate(seed, u[k]);
    double s[N_VARIABLES + 1] = {};
    Note note;
    note.sim = j;
    std::int32_t texts = 0;
    const double core8 = normal_core(u[TEMP]);
    for (int i = 1; i <= N_VARIABLES; ++i) {
      if (i == TIME) {
        note.texts_before_time = texts;
        texts = 0;
        if (time_random_) u_time_[j] = u[TIME];
        continue;
      }
      // A normal or lognormal temperature inverts the same uniform number as
      // the two factors below: share that inversion.
      if (i == TEMP && temp_from_core8_) {
        const double v = normal_from_core(core8, job_.dist_param[1][TEMP], job_.dist_param[2][TEMP]);
        s[TEMP] = job_.dist_type[TEMP] == LN ? std::exp(v) : v;
        continue;
      }
      if (!samplers_[static_cast<std::size_t>(i - 1)].draw(u[i], s[i], texts)) {
        note.fails_at = i < TIME ? 1 : 2;
        break;
      }
      // The coefficient factor shares the temperature's uniform number.
      if (i == DCOEF && job_.analysis_mode == 1) {
        s[DCOEF] = normal_from_core(core8, DCOEF_FACTOR_MEAN, DCOEF_FACTOR_STD) * s[DCOEF];
      }
    }
    if (note.fails()) {
      (note.fails_at == 1 ? note.texts_before_time : note.texts_after_time) = texts;
      notes.push_back(note);
      return;  // the run ends here; nothing after it is ever used
    }
    note.texts_after_time = texts;

    const double m = 1 - s[AGE_N];
    sim_results[j][1] = s[XC];
    depth_[j] = depth_factor(s[CCR], s[CS]);
    prefix_[j] = diffusion_prefix(s[DCOEF], m, temperature_factor(s[TEMP]));
    model_factor_[j] = normal_from_core(core8, MODEL_FACTOR_MEAN, MODEL_FACTOR_STD);
    if (n_random_) n_[j] = s[AGE_N];
    if (te_random_) te_years_[j] = s[TE] / 365;
    if (to_random_) to_years_[j] = s[TO] / 365;
    if (dcoef_negative(s[DCOEF])) {
      note.negative_dcoef = true;
      note.dcoef = s[DCOEF];
    }
    if (note.texts_before_time > 0 || note.texts_after_time > 0 || note.negative_dcoef) {
      notes.push_back(note);
    }
  }
}

void CycleEngine::run(double t, IntVector& indicator, RealMatrix& sim_results) {
  // R does not depend on the time: it is written at the first time point
  // and left in place, unless this is another matrix.
  if (resistance_in_ != &sim_results[1][1]) {
    sample_fixed_part(sim_results);
    prepare_pages(indicator.data(), static_cast<std::size_t>(nsim_) * sizeof(indicator[1]));
  }

  std::optional<VariableSampler> time_sampler;
  if (time_random_) time_sampler.emplace(job_.dist_type[TIME], t, job_.dist_param[2][TIME]);
  double shared_age = 0.0;
  if (age_is_shared()) {
    const double n = job_.dist_param[1][AGE_N];
    shared_age = age_factor(job_.dist_param[1][TE] / 365, job_.dist_param[1][TO] / 365, 1 - n, n, t);
  }
  const std::int64_t chunks = chunk_count();
  std::vector<std::vector<TimeNote>> time_notes(static_cast<std::size_t>(chunks));
  for_each_chunk(chunks, threads_, [&](std::int64_t c) {
    evaluate_chunk(c, t, time_sampler, shared_age, indicator, sim_results,
                   time_notes[static_cast<std::size_t>(c)]);
  });
  replay(time_notes);
}

void CycleEngine::evaluate_chunk(std::int64_t chunk, double t,
                                 const std::optional<VariableSampler>& time_sampler, double shared_age,
                                 IntVector& indicator, RealMatrix& sim_results,
                                 std::vector<TimeNote>& notes) const {
  const double n_fixed = job_.dist_param[1][AGE_N];
  const double te_fixed = job_.dist_param[1][TE] / 365;
  const double to_fixed = job_.dist_param[1][TO] / 365;
  const std::int64_t first = chunk * chunk_ + 1;
  const std::int64_t last = std::min(nsim_, first + chunk_ - 1);
  for (std::int64_t j = first; j <= last; ++j) {
    double tj = t;
    if (time_sampler) {
      TimeNote note;
      note.sim = j;
      note.fails = !time_sampler->draw(u_time_[j], tj, note.texts);
      if (note.texts > 0 || note.fails) notes.push_back(note);
      if (note.fails) return;
    }
    double age = shared_age;
    if (!age_is_shared()) {
      const double n = n_random_ ? n_[j] : n_fixed;
      age = age_factor(te_random_ ? te_years_[j] : te_fixed, to_random_ ? to_years_[j] : to_fixed,
                       1 - n, n, tj);
    }
    auto row = sim_results[j];
    const double r = row[1];
    const double s = load(prefix_[j], tj, age, depth_[j], model_factor_[j]);
    const double g = r - s;
    row[2] = s;
    row[3] = g;
    indicator[j] = failure_indicator(g);
  }
}

void CycleEngine::replay(const std::vector<std::vector<TimeNote>>& time_notes) {
  console_.clear();
  auto flush = [&] {
    std::fwrite(console_.data(), 1, console_.size(), out_);
    console_.clear();
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
      const Note& note = a < fixed.size() && fixed[a].sim == sim ? fixed[a++] : none;
      const TimeNote& time_note = b < timed.size() && timed[b].sim == sim ? timed[b++] : no_time;
      append_texts(console_, note.texts_before_time);
      bool fails = note.fails_at == 1;
      if (!fails) {
        append_texts(console_, time_note.texts);
        fails = time_note.fails;
      }
      if (!fails) {
        append_texts(console_, note.texts_after_time);
        fails = note.fails_at == 2;
      }
      if (fails) {
        flush();
        fatal_error(BETAINV_NOT_CONVERGED, 0);
      }
      if (note.negative_dcoef) append_negative_dcoef_warning(console_, note.dcoef);
      if (console_.size() >= CONSOLE_FLUSH_SIZE) flush();
    }
  }
  flush();
}

}  // namespace tbx
