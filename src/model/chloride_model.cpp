#include "model/chloride_model.hpp"

#include <cmath>

#include "core/number_format.hpp"

namespace tbx {

ChlorideModel::ChlorideModel(const JobData& job)
    : analysis_mode_(job.analysis_mode),
      time_type_(job.dist_type[TIME]),
      time_second_(job.dist_param[2][TIME]),
      temp_from_core_(job.dist_type[TEMP] == Distribution::normal ||
                      job.dist_type[TEMP] == Distribution::lognormal),
      temp_type_(job.dist_type[TEMP]),
      temp_a_(job.dist_param[1][TEMP]),
      temp_b_(job.dist_param[2][TEMP]) {
  samplers_.reserve(N_VARIABLES);
  for (int i = 1; i <= N_VARIABLES; ++i) {
    const Distribution type = i == TIME ? Distribution::deterministic : job.dist_type[i];
    samplers_.emplace_back(type, job.dist_param[1][i], job.dist_param[2][i]);
  }
  varies_ = {true, true, true, is_random(job.dist_type[AGE_N]), is_random(job.dist_type[TE]),
             is_random(job.dist_type[TO]), is_random(job.dist_type[TIME])};
  constant_[N_EXPONENT] = job.dist_param[1][AGE_N];
  constant_[TE_YEARS] = job.dist_param[1][TE] / 365;
  constant_[TO_YEARS] = job.dist_param[1][TO] / 365;
}

SampleNotes ChlorideModel::sample(const double* u, double& r, Kept& kept) const {
  double s[N_VARIABLES + 1] = {};
  SampleNotes notes;
  std::int32_t texts = 0;
  const double core8 = normal_core(u[TEMP]);
  for (int i = 1; i <= N_VARIABLES; ++i) {
    if (i == TIME) {
      notes.texts_before_time = texts;
      texts = 0;
      continue;
    }
    if (i == TEMP && temp_from_core_) {
      const double v = normal_from_core(core8, temp_a_, temp_b_);
      s[TEMP] = temp_type_ == Distribution::lognormal ? std::exp(v) : v;
      continue;
    }
    if (!samplers_[static_cast<std::size_t>(i - 1)].draw(u[i], s[i], texts)) {
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

void ChlorideModel::append_warning(std::string& text, double dcoef) {
  text += "Warning: negative diffusion coefficent\n";
  text += "aux3-2_Do ";
  append_fixed(text, dcoef, 0, 6);
  text += " \n";
}

}  // namespace tbx
