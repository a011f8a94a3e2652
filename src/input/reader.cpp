#include "input/reader.hpp"

#include <optional>

namespace tbx {

namespace {

constexpr int PROJECT_NAME_CAPACITY = 1000;

/// The reader and, when asked for, the trace of where it stands.
class TracedReader {
 public:
  TracedReader(std::FILE* in, int& line_no, ReadTrace* trace) : reader_(in, line_no), trace_(trace) {}

  template <typename Read>
  auto value(JobField field, int index, Read read) {
    enter(field, index);
    auto v = read(reader_);
    leave();
    return v;
  }
  void semicolon(JobField field) {
    enter(field, 0);
    reader_.expect_semicolon();
    leave();
  }

 private:
  void enter(JobField field, int index) {
    if (trace_ == nullptr) return;
    trace_->field = field;
    trace_->index = index;
  }
  void leave() {
    if (trace_ == nullptr) return;
    trace_->line[static_cast<std::size_t>(trace_->field)][static_cast<std::size_t>(trace_->index)] =
        reader_.token_line();
  }

  TokenReader reader_;
  ReadTrace* trace_;
};

std::int32_t integer(TokenReader& r) { return r.read_int(); }
double real(TokenReader& r) { return r.read_real(); }

}  // namespace

void read_job(std::FILE* in, int& line_no, JobData& job, ReadTrace* trace) {
  TracedReader reader(in, line_no, trace);

  job.project_name = reader.value(JobField::project_name, 1, [](TokenReader& r) {
    return r.read_text(PROJECT_NAME_CAPACITY, ';');
  });

  const std::pair<JobField, std::int32_t*> switches[] = {
      {JobField::seed_mode, &job.seed_mode},
      {JobField::analysis_mode, &job.analysis_mode},
      {JobField::n_intervals, &job.n_intervals},
      {JobField::n_points, &job.n_points},
      {JobField::predict_profile, &job.predict_profile},
  };
  for (const auto& [field, destination] : switches) {
    *destination = reader.value(field, 1, integer);
    reader.semicolon(field);
  }

  for (int i = 1; i <= N_VARIABLES; ++i) {
    job.dist_code[i] = reader.value(JobField::dist_type, i, integer);
    // An unknown code is refused by validation, after the checks that come
    // before it; the variable is never sampled.
    job.dist_type[i] = distribution_from_code(job.dist_code[i]).value_or(Distribution::deterministic);
  }
  reader.semicolon(JobField::dist_type);
  for (const JobField row : {JobField::first_parameter, JobField::second_parameter}) {
    const int r = row == JobField::first_parameter ? 1 : 2;
    for (int i = 1; i <= N_VARIABLES; ++i) job.dist_param[r][i] = reader.value(row, i, real);
    reader.semicolon(row);
  }

  for (const auto& [field, profile] : {std::pair{JobField::profile_depth, &job.profile_depth},
                                       std::pair{JobField::profile_cl, &job.profile_cl}}) {
    for (int i = 1; i <= N_PROFILE; ++i) (*profile)[i] = reader.value(field, i, real);
    reader.semicolon(field);
  }

  job.nsim = reader.value(JobField::nsim, 1, integer);
  reader.semicolon(JobField::nsim);
  job.seed = reader.value(JobField::seed, 1, integer);
  reader.semicolon(JobField::seed);
  job.tp = reader.value(JobField::tp, 1, integer);
  reader.semicolon(JobField::tp);
}

}  // namespace tbx
