#pragma once
// The distributions that fill the variables a fib job leaves out, after
// fib Bulletin 34, Model Code for Service Life Design (2006), Annex B; the
// same values stand in fib Model Code 2010.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "model/fib_job.hpp"

namespace tbx {

/// The job-file field that selects a preset.
enum class FibSetting { none, binder, exposure };

struct FibPreset {
  FibVariable variable;
  FibSetting setting;  ///< none: applies to every job
  const char* choice;  ///< the setting's value that selects it ("CEM I"); "" with none
  MomentDistribution distribution;
};

inline constexpr int FIB_PRESET_COUNT = 10;
extern const std::array<FibPreset, FIB_PRESET_COUNT> FIB_PRESETS;

/// "binder", "exposure"; "default" for none.
const char* fib_setting_name(FibSetting setting);

/// The preset for `variable` in a job with this binder and exposure (empty:
/// not given); nullptr where none applies.
const FibPreset* find_fib_preset(FibVariable variable, std::string_view binder, std::string_view exposure);

/// As FibInput::preset names it: "default", "binder CEM I", "exposure splash".
std::string fib_preset_name(const FibPreset& preset);

/// The values a setting accepts, in table order ("CEM I", "fly ash", "slag").
std::vector<std::string> fib_setting_choices(FibSetting setting);

}  // namespace tbx
