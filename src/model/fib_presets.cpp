#include "model/fib_presets.hpp"

namespace tbx {

namespace {

constexpr MomentDistribution beta(double mean, double sd, double lower, double upper) {
  return {MomentKind::beta, mean, sd, lower, upper};
}
constexpr MomentDistribution fixed(double value) { return {MomentKind::fixed, value, 0, 0, 0}; }

}  // namespace

// Units as in FIB_VARIABLES_INFO: be in K, dx in mm, Ccrit in mass-% of
// binder; alpha and kt are dimensionless.
const std::array<FibPreset, FIB_PRESET_COUNT> FIB_PRESETS = {{
    {FIB_BE, FibSetting::none, "", {MomentKind::normal, 4800, 700, 0, 0}},
    {FIB_CCRIT, FibSetting::none, "", beta(0.6, 0.15, 0.2, 2.0)},
    {FIB_KT, FibSetting::none, "", fixed(1)},
    {FIB_ALPHA, FibSetting::binder, "CEM I", beta(0.30, 0.12, 0, 1)},
    {FIB_ALPHA, FibSetting::binder, "fly ash", beta(0.60, 0.15, 0, 1)},
    {FIB_ALPHA, FibSetting::binder, "slag", beta(0.45, 0.20, 0, 1)},
    {FIB_DX, FibSetting::exposure, "splash", beta(8.9, 5.6, 0, 50)},
    {FIB_DX, FibSetting::exposure, "tidal", beta(8.9, 5.6, 0, 50)},
    {FIB_DX, FibSetting::exposure, "submerged", fixed(0)},
    {FIB_DX, FibSetting::exposure, "spray", fixed(0)},
}};

const char* fib_setting_name(FibSetting setting) {
  switch (setting) {
    case FibSetting::none: return "default";
    case FibSetting::binder: return "binder";
    case FibSetting::exposure: return "exposure";
  }
  return "";
}

const FibPreset* find_fib_preset(FibVariable variable, std::string_view binder, std::string_view exposure) {
  for (const FibPreset& preset : FIB_PRESETS) {
    if (preset.variable != variable) continue;
    switch (preset.setting) {
      case FibSetting::none: return &preset;
      case FibSetting::binder:
        if (preset.choice == binder) return &preset;
        break;
      case FibSetting::exposure:
        if (preset.choice == exposure) return &preset;
        break;
    }
  }
  return nullptr;
}

std::string fib_preset_name(const FibPreset& preset) {
  std::string name = fib_setting_name(preset.setting);
  if (preset.setting != FibSetting::none) name.append(" ").append(preset.choice);
  return name;
}

std::vector<std::string> fib_setting_choices(FibSetting setting) {
  std::vector<std::string> choices;
  for (const FibPreset& preset : FIB_PRESETS) {
    if (preset.setting == setting) choices.emplace_back(preset.choice);
  }
  return choices;
}

}  // namespace tbx
