#include "model/chloride_model.hpp"

#include <cmath>

#include "core/number_format.hpp"
#include "prob/inverse_error_function.hpp"

namespace tbx {

ChlorideModel::ChlorideModel(const JobData& job)
    : analysis_mode_(job.analysis_mode),
      cover_first_(job.dist_param[1][XC]),
      cover_second_(job.dist_param[2][XC]),
      time_type_(job.dist_type[TIME]),
      time_second_(job.dist_param[2][TIME]) {
  samplers_.reserve(N_VARIABLES);
  for (int i = 1; i <= N_VARIABLES; ++i) {
    types_[static_cast<std::size_t>(i)] = job.dist_type[i];
    const Distribution type = i == TIME ? Distribution::deterministic : job.dist_type[i];
    samplers_.emplace_back(type, job.dist_param[1][i], job.dist_param[2][i]);
    if (i != TEMP && samplers_.back().from_normal_core()) normal_variables_.push_back(i);
  }
  varies_ = {true, true, true, is_random(job.dist_type[AGE_N]), is_random(job.dist_type[TE]),
             is_random(job.dist_type[TO]), is_random(job.dist_type[TIME])};
  constant_[N_EXPONENT] = job.dist_param[1][AGE_N];
  constant_[TE_YEARS] = job.dist_param[1][TE] / 365;
  constant_[TO_YEARS] = job.dist_param[1][TO] / 365;
}

SampleNotes ChlorideModel::sample(const double* u, double& r, Kept& kept) const {
  // The normal quantiles first, all at once: they are independent of one
  // another and of everything else, and computed side by side they take
  // less time. u[TEMP]'s always: the two factors below come from it.
  double core[N_VARIABLES + 1] = {};
  double y[N_VARIABLES];
  y[0] = 2.0 * u[TEMP] - 1.0;
  int count = 1;
  for (const int i : normal_variables_) y[count++] = 2.0 * u[i] - 1.0;
  inverse_error_functions(y, count);
  core[TEMP] = y[0];
  for (int k = 1; k < count; ++k) core[normal_variables_[static_cast<std::size_t>(k - 1)]] = y[k];
  const double core8 = core[TEMP];

  double s[N_VARIABLES + 1] = {};
  SampleNotes notes;
  std::int32_t texts = 0;
  for (int i = 1; i <= N_VARIABLES; ++i) {
    if (i == TIME) {
      notes.texts_before_time = texts;
      texts = 0;
      continue;
    }
    const VariableSampler& sampler = samplers_[static_cast<std::size_t>(i - 1)];
    if (sampler.from_normal_core()) {
      s[i] = sampler.value_from_core(core[i]);
    } else if (!sampler.draw(u[i], s[i], texts)) {
      notes.fails_at = i < TIME ? 1 : 2;
      (i < TIME ? notes.texts_before_time : notes.texts_after_time) = texts;
      return notes;
    }
    // The coefficient factor shares the temperature's uniform number.
    if (i == DCOEF && analysis_mode_ == 1) {
      s[DCOEF] = normal_from_core(core8, DCOEF_FACTOR_MEAN, DCOEF_FACTOR_STD) * s[DCOEF];
    }
  }
  notes.texts_after_time = texts;

  const double m = 1 - s[AGE_N];
  r = s[XC];
  kept[DEPTH] = depth_factor(s[CCR], s[CS]);
  kept[PREFIX] = diffusion_prefix(s[DCOEF], m, temperature_factor(s[TEMP]));
  kept[MODEL_FACTOR] = normal_from_core(core8, MODEL_FACTOR_MEAN, MODEL_FACTOR_STD);
  kept[N_EXPONENT] = s[AGE_N];
  kept[TE_YEARS] = s[TE] / 365;
  kept[TO_YEARS] = s[TO] / 365;
  kept[U_TIME] = u[TIME];
  if (dcoef_negative(s[DCOEF])) {
    notes.warns = true;
    notes.warning_value = s[DCOEF];
  }
  return notes;
}

ChlorideModel::TimePoint ChlorideModel::at(double t) const {
  TimePoint point;
  point.t = t;
  if (is_random(time_type_)) point.time.emplace(time_type_, t, time_second_);
  point.age_shared = !point.time && !varies_[N_EXPONENT] && !varies_[TE_YEARS] && !varies_[TO_YEARS];
  if (point.age_shared) {
    const double n = constant_[N_EXPONENT];
    point.age = age_factor(constant_[TE_YEARS], constant_[TO_YEARS], 1 - n, n, t);
  }
  return point;
}

bool ChlorideModel::age_shared() const {
  return !time_random() && !varies_[N_EXPONENT] && !varies_[TE_YEARS] && !varies_[TO_YEARS];
}

double ChlorideModel::unit_load(double t) const {
  Kept unit = constant_;
  unit[PREFIX] = 1.0;
  unit[DEPTH] = 1.0;
  unit[MODEL_FACTOR] = 1.0;
  return load(unit, at(t), t);
}

std::vector<RandomSource> ChlorideModel::sources() const {
  static const char* const NAMES[] = {"", "xc", "Dcoef", "Ccr", "Cs", "n", "t", "to", "temp", "te"};
  std::vector<RandomSource> out;
  for (int i = 1; i <= N_VARIABLES; ++i) {
    const Distribution type = types_[static_cast<std::size_t>(i)];
    const bool random = is_random(type);
    if (!random && i != TEMP) continue;
    RandomSource s;
    s.variable = random ? NAMES[i] : "model_factor";
    if (random) s.drives.push_back(NAMES[i]);
    if (i == TEMP) {
      s.drives.push_back("model_factor");
      if (analysis_mode_ == 1) s.drives.push_back("dcoef_factor");
    }
    s.column = i;
    s.folded = type != Distribution::beta;
    out.push_back(std::move(s));
  }
  return out;
}

CoverDistribution ChlorideModel::cover() const {
  CoverDistribution c;
  switch (types_[XC]) {
    case Distribution::normal:
      c.sd = cover_second_;
      break;
    case Distribution::lognormal: {
      const double zeta = cover_second_;
      c.lognormal = true;
      c.sd = std::exp(cover_first_ + zeta * zeta / 2) * std::sqrt(std::expm1(zeta * zeta));
      break;
    }
    case Distribution::beta:
      c.reason = "the cover is beta distributed on [0, 1]: not a cover in mm to shift";
      break;
    case Distribution::deterministic:
      c.reason = "the cover is deterministic: no distribution to shift";
      break;
  }
  return c;
}

void ChlorideModel::append_warning(std::string& text, double dcoef) {
  text += "Warning: negative diffusion coefficent\n";
  text += "aux3-2_Do ";
  append_fixed(text, dcoef, 0, 6);
  text += " \n";
}

}  // namespace tbx
