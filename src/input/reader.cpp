#include "input/reader.hpp"

namespace tbx {

namespace {
constexpr int PROJECT_NAME_CAPACITY = 1000;
}  // namespace

void read_job(std::FILE* in, int& line_no, JobData& job) {
  TokenReader reader(in, line_no);

  job.project_name = reader.read_text(PROJECT_NAME_CAPACITY, ';');

  for (std::int32_t* field : {&job.seed_mode, &job.analysis_mode, &job.n_intervals, &job.n_points,
                              &job.predict_profile}) {
    *field = reader.read_int();
    reader.expect_semicolon();
  }

  for (int i = 1; i <= N_VARIABLES; ++i) job.dist_type[i] = reader.read_int();
  reader.expect_semicolon();
  for (int row = 1; row <= 2; ++row) {
    for (int i = 1; i <= N_VARIABLES; ++i) job.dist_param[row][i] = reader.read_real();
    reader.expect_semicolon();
  }

  for (RealVector* profile : {&job.profile_depth, &job.profile_cl}) {
    for (int i = 1; i <= N_PROFILE; ++i) (*profile)[i] = reader.read_real();
    reader.expect_semicolon();
  }

  job.nsim = reader.read_int();
  reader.expect_semicolon();
  job.seed = reader.read_int();
  reader.expect_semicolon();
  job.tp = reader.read_int();
  reader.expect_semicolon();
}

}  // namespace tbx
