// The human-readable results report: header, input echo, reliability per time
// point, predicted profiles and the simulations of the last time point.

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/pages.hpp"
#include "core/parallel.hpp"
#include "core/number_format.hpp"
#include "report/shown_values.hpp"
#include "report/write_reports.hpp"

namespace tbx {

namespace {

constexpr const char* RULE =
    " ________________________________________________________________________ \n";
constexpr const char* BLANK_74 =
    "                                                                          \n";

constexpr const char* VARIABLE_LABELS[] = {
    "  Concrete cover: xc = ",
    "  Diffusion Coefficient: Dcoef = ",
    "  Critical Chloride Concenrtration: Ccr = ",
    "  Surface Chloride Concenrtration: Cs = ",
    "  Age exponent: n = ",
    "  Time: t = ",
    "  Time of testing: to = ",
};
constexpr int ECHOED_VARIABLES = 7;

void append_header(std::string& s, const std::string& job_name, const std::string& project_name) {
  s += " \n";
  s += RULE;
  s += BLANK_74;
  s += "                              R O Z U Z O Z                               \n";
  s += BLANK_74;
  s += "         Permanence of Concrete Structures in Marine Environment          \n";
  s += BLANK_74;
  s += "                        Release v2.3 - August 2009                        \n";
  s += RULE;
  s += " \n";
  s += "File name: " + job_name + "\n";
  s += "Project name: " + project_name + "\n";
}

// "N(%0.3lf,%0.3lf)" and its kin; a deterministic variable shows its value,
// except the time, which shows the first and last time of the series.
void append_distribution(std::string& s, Distribution type, double a, double b, bool is_time) {
  const char* name = "";
  bool two_values = true;
  switch (type) {
    case Distribution::normal: name = "N("; break;
    case Distribution::lognormal: name = "LN("; break;
    case Distribution::beta: name = "B("; break;
    case Distribution::deterministic:
      name = "D(";
      two_values = is_time;
      break;
  }
  s += name;
  append_fixed(s, a, 0, 3);
  if (two_values) {
    s += ',';
    append_fixed(s, b, 0, 3);
  }
  s += ')';
}

// A section's title line, the rule under it and a blank line.
void append_heading(std::string& s, const char* title) {
  s += title;
  s += RULE;
  s += " \n";
}

void append_input_data(std::string& s, const JobData& job) {
  s += " \n \n";
  append_heading(s, " ##### Input Data ##### \n");
  s += "  Number of simulations: n = ";
  append_int(s, job.nsim, 0);
  s += " \n";
  s += "  Initial seed: i = ";
  append_int(s, job.seed, 0);
  s += " \n";
  for (int i = 1; i <= ECHOED_VARIABLES; ++i) {
    s += VARIABLE_LABELS[i - 1];
    append_distribution(s, job.dist_type[i], job.dist_param[1][i], job.dist_param[2][i], i == TIME);
    s += i == ECHOED_VARIABLES ? " \n" : "\n";
  }
}

void append_output_data(std::string& s, const JobData& job, const SeriesResults& r) {
  s += " \n";
  append_heading(s, " ##### Output Data ##### \n");
  s += "  Time     Prob.       Std.            Beta            Prob. Failure\n";
  s += "  (years)  Failure     Error           Index           (Beta Index) \n";
  s += " \n";
  for (std::int64_t v = 1; v <= std::int64_t{job.n_intervals} + 1; ++v) {
    s += "  ";
    append_fixed(s, r.times[v], 0, 0);
    s += "  ";
    append_fixed(s, r.pf[v], 2, 4);
    s += "  ";
    append_exponent(s, r.pf_se[v], 4, 7);
    s += "  ";
    append_fixed(s, r.beta[v], 2, 4);
    s += "  ";
    append_fixed(s, shown_pf_beta(r.pf_beta[v]), 2, 4);
    s += " \n";
  }
}

void append_profile_prediction(std::string& s, const JobData& job, const RealMatrix& predicted) {
  s += " \n \n";
  append_heading(s, " ##### Profile prediction Data #####\n");
  s += "  Prediction age [days]: tp = ";
  append_fixed(s, job.tp, 5, 1);
  s += " \n";
  s += " \n";
  s += "  Concrete   Initial    Predicted  Predicted \n";
  s += "  Depth(cm)  Profile    Profile 1  Profile 2 \n";
  s += " \n";
  for (std::int64_t v = 1; v <= job.n_points; ++v) {
    const double values[] = {job.profile_depth[v], job.profile_cl[v], predicted[1][v], predicted[2][v]};
    s += "  ";
    for (int c = 0; c < 4; ++c) {
      append_fixed(s, values[c], 2, 3);
      s += c < 3 ? "      " : " \n";
    }
  }
}

// The simulation table is most of a large report. Its rows are formatted in
// blocks on all CPUs and handed to the sink in order, with a few blocks in
// flight at a time, so memory stays bounded whatever nsim is.
constexpr std::int64_t ROWS_PER_BLOCK = 2048;
// The longest row: a 10-digit index, an 11-character indicator, three
// 16-character numbers and the blanks between them.
constexpr std::size_t MAX_ROW_CHARS = 96;
constexpr int NUMBER_WIDTH = 4;
constexpr int NUMBER_PRECISION = 8;
constexpr int INDEX_WIDTH = 7;

char* write_right_aligned(char* p, char* end, int width) {
  const auto length = static_cast<int>(end - p);
  if (length >= width) return end;
  const int pad = width - length;
  std::memmove(p + pad, p, static_cast<std::size_t>(length));
  std::memset(p, ' ', static_cast<std::size_t>(pad));
  return p + width;
}

char* write_blanks(char* p, int count) {
  std::memset(p, ' ', static_cast<std::size_t>(count));
  return p + count;
}

// The index column counts up by one from row to row: a block formats its
// first index once, then adds one to the digits in place.
class RowIndex {
 public:
  explicit RowIndex(std::int64_t first)
      : length_(static_cast<std::size_t>(write_int(text_, first, INDEX_WIDTH) - text_)) {}
  // Whole rows have room for at least COPIED characters; copying a fixed
  // number of them costs less than copying exactly the index.
  char* write(char* p) const {
    if (length_ <= COPIED) {
      std::memcpy(p, text_, COPIED);
    } else {
      std::memcpy(p, text_, length_);
    }
    return p + length_;
  }
  void next() {
    std::size_t i = length_;
    while (i > 0 && text_[i - 1] == '9') text_[--i] = '0';
    if (i > 0 && text_[i - 1] != ' ') {
      ++text_[i - 1];
    } else if (i > 0) {
      text_[i - 1] = '1';
    } else {  // 99...9 filled the width: one digit more
      std::memmove(text_ + 1, text_, length_++);
      text_[0] = '1';
    }
  }

 private:
  static constexpr std::size_t COPIED = 16;
  char text_[MAX_INT_CHARS + 1] = {};
  std::size_t length_;
};

// "%7d   %i            %4.8le    %4.8le    %4.8le \n" with k, I, G, R, S; one
// blank less before a G that is negative (or not a number), whose minus sign
// takes its place.
char* write_simulation_row(char* p, const RowIndex& k, std::int32_t indicator, Span1<const double> row) {
  p = k.write(p);
  p = write_blanks(p, 3);
  if (indicator >= 0 && indicator <= 9) {  // 0 or 1: one digit
    *p++ = static_cast<char>('0' + indicator);
  } else {
    p = write_int(p, indicator);
  }
  p = write_blanks(p, row[3] >= 0 ? 12 : 11);
  p = write_right_aligned(p, write_exponent(p, row[3], NUMBER_PRECISION), NUMBER_WIDTH);
  p = write_blanks(p, 4);
  p = write_right_aligned(p, write_exponent(p, row[1], NUMBER_PRECISION), NUMBER_WIDTH);
  p = write_blanks(p, 4);
  p = write_right_aligned(p, write_exponent(p, row[2], NUMBER_PRECISION), NUMBER_WIDTH);
  *p++ = ' ';
  *p++ = '\n';
  return p;
}

// The rows of block b (ROWS_PER_BLOCK rows from row b * ROWS_PER_BLOCK + 1)
// into `first`; returns the length written. The part of the report that
// runs in parallel, kept out of line so that a profile names it.
[[gnu::noinline]] std::size_t format_block(char* first, std::int64_t b, std::int64_t nsim, const SeriesResults& r) {
  char* p = first;
  const std::int64_t first_row = b * ROWS_PER_BLOCK + 1;
  const std::int64_t last = std::min(nsim, (b + 1) * ROWS_PER_BLOCK);
  RowIndex index(first_row);
  for (std::int64_t k = first_row; k <= last; ++k, index.next()) {
    p = write_simulation_row(p, index, r.indicator[k], r.sim_results[k]);
  }
  return static_cast<std::size_t>(p - first);
}

void append_simulations(TextSink& out, const JobData& job, const SeriesResults& r, int threads) {
  std::string& s = out.text();
  s += " \n \n";
  append_heading(s, " ##### I, G, R & S #####\n");
  s += "  Index   Indicator    Failure            Resistance         Load         \n";
  s += "          Function (I) Function (G)       Variable (R)       Variable (S) \n";
  s += "\n";
  const std::int64_t nsim = job.nsim;
  if (nsim <= 0) return;
  const std::int64_t blocks = (nsim + ROWS_PER_BLOCK - 1) / ROWS_PER_BLOCK;
  const int window = 2 * threads;
  const auto rows_in_block = static_cast<std::size_t>(std::min(nsim, ROWS_PER_BLOCK));
  std::vector<std::unique_ptr<char[]>> buffers(static_cast<std::size_t>(std::min<std::int64_t>(window, blocks)));
  for (auto& b : buffers) {
    b.reset(new char[rows_in_block * MAX_ROW_CHARS]);
    prepare_pages(b.get(), rows_in_block * MAX_ROW_CHARS);
  }
  std::vector<std::size_t> lengths(buffers.size());
  const auto buffer_of = [&](std::int64_t b) { return static_cast<std::size_t>(b % window); };
  for_each_chunk_in_order(
      blocks, threads, window,
      [&](std::int64_t b) { lengths[buffer_of(b)] = format_block(buffers[buffer_of(b)].get(), b, nsim, r); },
      [&](std::int64_t b) {
        out.text().append(buffers[buffer_of(b)].get(), lengths[buffer_of(b)]);
        out.flush_if_full();
      });
}

}  // namespace

void write_results_report(TextSink& out, const std::string& job_name, const JobData& job,
                          const SeriesResults& results, const RealMatrix& predicted_profile, int threads) {
  std::string& s = out.text();
  append_header(s, job_name, job.project_name);
  append_input_data(s, job);
  append_output_data(s, job, results);
  if (job.analysis_mode == 2) append_profile_prediction(s, job, predicted_profile);
  out.flush_if_full();
  append_simulations(out, job, results, threads_to_use(threads));
}

}  // namespace tbx
