#include "input/job_fields.hpp"

#include <array>

#include "model/job_data.hpp"

namespace tbx {

namespace {

constexpr std::array<FieldInfo, N_JOB_FIELDS> FIELDS = {{
    {"project name", FieldKind::text, 1, false},
    {"seed mode", FieldKind::integer, 1, false},
    {"analysis mode", FieldKind::integer, 1, false},
    {"number of time intervals", FieldKind::integer, 1, false},
    {"number of profile points", FieldKind::integer, 1, false},
    {"profile prediction switch", FieldKind::integer, 1, false},
    {"distribution type", FieldKind::integer, N_VARIABLES, true},
    {"first parameter", FieldKind::real, N_VARIABLES, true},
    {"second parameter", FieldKind::real, N_VARIABLES, true},
    {"profile depth (cm)", FieldKind::real, N_PROFILE, false},
    {"profile chloride content", FieldKind::real, N_PROFILE, false},
    {"simulations per time point", FieldKind::integer, 1, false},
    {"seed", FieldKind::integer, 1, false},
    {"prediction age (days)", FieldKind::integer, 1, false},
}};

constexpr std::array<VariableInfo, N_VARIABLES> VARIABLES = {{
    {"xc", "concrete cover", "mm"},
    {"Dcoef", "diffusion coefficient", "1e-12 m2/s"},
    {"Ccr", "critical chloride content", "unit of the profile contents"},
    {"Cs", "surface chloride content", "unit of the profile contents"},
    {"n", "age exponent", ""},
    {"t", "time", "years"},
    {"to", "age at testing", "days"},
    {"temp", "temperature", "degrees C"},
    {"te", "age at the start of exposure", "days"},
}};

}  // namespace

const FieldInfo& field_info(JobField field) { return FIELDS[static_cast<std::size_t>(field)]; }

const VariableInfo& variable_info(int variable) {
  return VARIABLES[static_cast<std::size_t>(variable - 1)];
}

}  // namespace tbx
