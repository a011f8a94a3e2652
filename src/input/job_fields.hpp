#pragma once
// The fields of a job file, in file order, with the names and units that
// messages about them use.

#include <string_view>

namespace tbx {

enum class JobField : int {
  project_name,
  seed_mode,
  analysis_mode,
  n_intervals,
  n_points,
  predict_profile,
  dist_type,
  first_parameter,
  second_parameter,
  profile_depth,
  profile_cl,
  nsim,
  seed,
  tp,
};
inline constexpr int N_JOB_FIELDS = 14;

enum class FieldKind { text, integer, real };

struct FieldInfo {
  std::string_view name;  ///< as a reader of the job file knows it
  FieldKind kind;
  int values;  ///< tokens before the field's ";" (the project name counts as 1)
  bool per_variable;  ///< one value for each of the nine variables
};

const FieldInfo& field_info(JobField field);

struct VariableInfo {
  std::string_view name;     ///< the report's short name: xc, Dcoef, ...
  std::string_view meaning;  ///< "concrete cover"
  std::string_view unit;     ///< "mm"; empty for a number without unit
};

/// Variables 1 to 9.
const VariableInfo& variable_info(int variable);

}  // namespace tbx
