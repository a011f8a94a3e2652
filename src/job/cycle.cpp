#include "job/cycle.hpp"

#include <string>

#include "job/chloride_model.hpp"
#include "prob/random.hpp"
#include "prob/sampling.hpp"
#include "report/number_format.hpp"

namespace tbx {

void append_negative_dcoef_warning(std::string& text, double dcoef) {
  text += "Warning: negative diffusion coefficent\n";
  text += "aux3-2_Do ";
  append_fixed(text, dcoef, 0, 6);
  text += " \n";
}

void simulate_cycle(std::int32_t nsim, std::int32_t analysis_mode, std::int32_t seed,
                    const IntVector& dist_type, IntVector& indicator, const RealMatrix& dist_param,
                    RealMatrix& sim_results, std::FILE* out) {
  RealVector sample(10);
  RealMatrix uniforms(nsim, 9);
  std::int32_t state = seed;
  for (std::int64_t j = 1; j <= nsim; ++j) {
    for (int k = 1; k <= 9; ++k) uniform_deviate(state, uniforms[j][k]);
  }
  std::string warning;
  for (std::int64_t j = 1; j <= nsim; ++j) {
    sample_variables(j, analysis_mode, dist_type, sample, dist_param, uniforms);
    const double r = sample[1];
    const double depth = depth_factor(sample[3], sample[4]);
    const double m = 1 - sample[5];
    const double age = age_factor(sample[9] / 365, sample[7] / 365, m, sample[5], sample[6]);
    const double prefix = diffusion_prefix(sample[2], m, temperature_factor(sample[8]));
    const double s = load(prefix, sample[6], age, depth, sample[10]);
    if (dcoef_negative(sample[2])) {
      warning.clear();
      append_negative_dcoef_warning(warning, sample[2]);
      std::fputs(warning.c_str(), out);
    }
    const double g = r - s;
    sim_results[j][1] = r;
    sim_results[j][2] = s;
    sim_results[j][3] = g;
    indicator[j] = failure_indicator(g);
  }
}

}  // namespace tbx
