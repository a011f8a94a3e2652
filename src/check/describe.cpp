#include "check/describe.hpp"

#include "check/finding.hpp"

namespace tbx {

std::string describe_field(JobField field, int index) {
  const FieldInfo& info = field_info(field);
  if (index == 0) {
    return std::string("the ';' after the ") + std::string(info.name) + (info.values > 1 ? " row" : "");
  }
  if (info.per_variable) {
    const VariableInfo& v = variable_info(index);
    std::string text(v.name);
    text += " (" + std::string(v.meaning);
    if (!v.unit.empty()) text += ", " + std::string(v.unit);
    return text + "), " + std::string(info.name);
  }
  if (info.values > 1) return std::string(info.name) + ", point " + std::to_string(index);
  return std::string(info.name);
}

std::string value_text(const JobData& job, JobField field, int index) {
  if (index == 0) return "";
  switch (field) {
    case JobField::project_name: return job.project_name;
    case JobField::seed_mode: return std::to_string(job.seed_mode);
    case JobField::analysis_mode: return std::to_string(job.analysis_mode);
    case JobField::n_intervals: return std::to_string(job.n_intervals);
    case JobField::n_points: return std::to_string(job.n_points);
    case JobField::predict_profile: return std::to_string(job.predict_profile);
    case JobField::dist_type: return std::to_string(job.dist_code[index]);
    case JobField::first_parameter: return format_value(job.dist_param[1][index]);
    case JobField::second_parameter: return format_value(job.dist_param[2][index]);
    case JobField::profile_depth: return format_value(job.profile_depth[index]);
    case JobField::profile_cl: return format_value(job.profile_cl[index]);
    case JobField::nsim: return std::to_string(job.nsim);
    case JobField::seed: return std::to_string(job.seed);
    case JobField::tp: return format_value(job.tp);
  }
  return "";
}

}  // namespace tbx
