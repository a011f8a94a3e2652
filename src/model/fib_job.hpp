#pragma once
// A job of the fib full-probabilistic chloride-ingress model, as read from
// JOB.toml. Units: mm, years, kelvin (the temperature is given in degrees
// Celsius), mass-% of binder; D_RCM0 in 1e-12 m2/s.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "prob/moment_distribution.hpp"

namespace tbx {

/// The model's variables, in the order in which one simulation draws its
/// uniform numbers (one per variable, fixed ones too).
enum FibVariable : int { FIB_A, FIB_DX, FIB_D_RCM0, FIB_ALPHA, FIB_BE, FIB_T, FIB_CS_DX, FIB_C0, FIB_CCRIT, FIB_KT, FIB_VARIABLES };

struct FibVariableInfo {
  const char* name;     ///< as in the job file: "a", "dx", "D_RCM0", ...
  const char* unit;     ///< "mm", "1e-12 m2/s", "-", "K", "deg C", "mass-% of binder"
  const char* meaning;  ///< "concrete cover", ...
};
extern const std::array<FibVariableInfo, FIB_VARIABLES> FIB_VARIABLES_INFO;

/// Where a variable's distribution comes from.
enum class FibOrigin {
  job,         ///< given in the job file, no preset for it
  preset,      ///< left out of the job file and filled by a preset
  overridden,  ///< given in the job file where a preset would have filled it
};

/// The keys of a variable's table besides `distribution`.
enum FibKey : int { FIB_MEAN, FIB_SD, FIB_LOWER, FIB_UPPER, FIB_VALUE, FIB_KEYS };
extern const std::array<const char*, FIB_KEYS> FIB_KEY_NAMES;  ///< "mean", "sd", ...

struct FibInput {
  MomentDistribution distribution;
  FibOrigin origin = FibOrigin::job;
  /// The preset that fills or would fill the variable ("binder CEM I",
  /// "exposure splash", "default"); empty where none applies.
  std::string preset;
  int line = 0;  ///< of the variable's table in the job file; 0 for a preset
  std::array<int, FIB_KEYS> key_lines{};  ///< of each key given; 0 for the others
};

struct FibJob {
  std::string title;
  std::int64_t simulations = 0;
  std::int32_t seed = 0;
  std::vector<double> times;  ///< years, positive, strictly increasing
  double target_beta = 1.3;
  /// Rows of each sample of the Sobol indices in the summary; 0: none.
  std::int64_t sobol_simulations = 0;
  std::string binder;    ///< "CEM I", "fly ash", "slag"; empty: not given
  std::string exposure;  ///< "splash", "tidal", "submerged", "spray"; empty: not given
  std::array<FibInput, FIB_VARIABLES> inputs;
};

}  // namespace tbx
