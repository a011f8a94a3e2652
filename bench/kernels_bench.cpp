// Micro-benchmarks of the kernels that a job's run time is made of: the
// uniform generator, the inverse error function, the inverse beta, one Monte
// Carlo cycle (plain and through the engine), number formatting and the
// simulation table of the results report.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/number_format.hpp"
#include "engine/cycle_engine.hpp"
#include "engine/plain_cycle.hpp"
#include "model/chloride_model.hpp"
#include "prob/inverse_beta.hpp"
#include "prob/inverse_error_function.hpp"
#include "prob/random.hpp"
#include "report/output_file.hpp"
#include "report/write_reports.hpp"

namespace {

using namespace tbx;

/// Inputs are cycled through tables of this many values (a power of two).
constexpr std::size_t TABLE_SIZE = 4096;

/// `count` uniform numbers from the program's generator.
std::vector<double> uniforms(std::size_t count, std::int32_t seed = 12345) {
  std::vector<double> u(count);
  for (double& x : u) uniform_deviate(seed, x);
  return u;
}

struct VariableSpec {
  Distribution type;
  double a, b;
};
constexpr Distribution N = Distribution::normal;
constexpr Distribution LN = Distribution::lognormal;
constexpr Distribution B = Distribution::beta;
constexpr Distribution D = Distribution::deterministic;

/// The benchmark jobs' variables: a beta-distributed age exponent, or normal
/// and lognormal variables only.
JobData make_job(bool beta_age, std::int32_t nsim) {
  const VariableSpec vars[N_VARIABLES] = {
      {N, 50, 8},   {LN, 0.693, 0.2}, {N, 0.40, 0.06}, {beta_age ? N : LN, beta_age ? 3.0 : 1.1, beta_age ? 0.4 : 0.15},
      {beta_age ? B : D, beta_age ? 12.0 : 0.45, beta_age ? 14.0 : 0.0},
      {D, 0, 100},  {D, 28, 0},       {N, 20, 2},      {D, 28, 0}};
  JobData job;
  alloc_job_arrays(job);
  for (int i = 1; i <= N_VARIABLES; ++i) {
    job.dist_type[i] = vars[i - 1].type;
    job.dist_param[1][i] = vars[i - 1].a;
    job.dist_param[2][i] = vars[i - 1].b;
  }
  job.nsim = nsim;
  job.seed = 12345;
  job.analysis_mode = beta_age ? 0 : 1;
  job.project_name = "benchmark";
  return job;
}

std::FILE* null_output() {
  static std::FILE* f = std::fopen("/dev/null", "w");
  return f;
}

// --- Uniform numbers -------------------------------------------------------

void BM_UniformDeviate(benchmark::State& state) {
  std::int32_t seed = 12345;
  double u = 0.0;
  for (auto _ : state) {
    uniform_deviate(seed, u);
    benchmark::DoNotOptimize(u);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UniformDeviate);

// The start of a chunk of 4096 simulations, far into the sequence.
void BM_SeedAfterDraws(benchmark::State& state) {
  std::int64_t chunk = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(seed_after_draws(12345, chunk * 4096 * 9));
    chunk = chunk % 1000 + 1;
  }
}
BENCHMARK(BM_SeedAfterDraws);

// --- Inverse error function and inverse beta -----------------------------

void BM_InverseErrorFunction(benchmark::State& state) {
  std::vector<double> y = uniforms(TABLE_SIZE);
  for (double& v : y) v = 2.0 * v - 1.0;
  std::size_t i = 0;
  for (auto _ : state) {
    double v = y[i];
    inverse_error_function(v);
    benchmark::DoNotOptimize(v);
    i = (i + 1) & (TABLE_SIZE - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InverseErrorFunction);

/// Four at a time, interleaved; items are values.
void BM_InverseErrorFunctions(benchmark::State& state) {
  std::vector<double> y = uniforms(TABLE_SIZE);
  for (double& v : y) v = 2.0 * v - 1.0;
  std::size_t i = 0;
  for (auto _ : state) {
    double v[4] = {y[i], y[i + 1], y[i + 2], y[i + 3]};
    inverse_error_functions(v, 4);
    benchmark::DoNotOptimize(v);
    i = (i + 4) & (TABLE_SIZE - 1);
  }
  state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_InverseErrorFunctions);

// The beta_series age exponent, B(12, 14).
void BM_InverseBeta(benchmark::State& state) {
  const std::vector<double> p = uniforms(TABLE_SIZE);
  const BetaShape shape = make_beta_shape(12.0, 14.0);
  std::size_t i = 0;
  for (auto _ : state) {
    double x = 0.0;
    int texts = 0;
    benchmark::DoNotOptimize(inverse_beta_value(p[i], shape, x, texts));
    benchmark::DoNotOptimize(x);
    i = (i + 1) & (TABLE_SIZE - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InverseBeta);

// --- One cycle ------------------------------------------------------------

/// Arg 1: beta-distributed age exponent; 0: normal and lognormal variables.
void BM_SimulateCycle(benchmark::State& state) {
  constexpr std::int32_t NSIM = 4096;
  JobData job = make_job(state.range(0) == 1, NSIM);
  const ChlorideModel model(job);
  IntVector indicator(NSIM);
  RealMatrix sims(NSIM + 2, 3);
  for (auto _ : state) plain_cycle(model, NSIM, job.seed, 50.0, indicator, sims, null_output());
  state.SetItemsProcessed(state.iterations() * NSIM);
}
BENCHMARK(BM_SimulateCycle)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

/// The engine's first time point (sampling and evaluation) on one thread.
void BM_EngineFirstTimePoint(benchmark::State& state) {
  constexpr std::int32_t NSIM = 4096;
  const JobData job = make_job(state.range(0) == 1, NSIM);
  IntVector indicator(NSIM);
  RealMatrix sims(NSIM + 2, 3);
  for (auto _ : state) {
    CycleEngine<ChlorideModel> engine(ChlorideModel(job), NSIM, job.seed, indicator, sims, null_output(), 1);
    engine.run(50);
  }
  state.SetItemsProcessed(state.iterations() * NSIM);
}
BENCHMARK(BM_EngineFirstTimePoint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

/// Each later time point: only the time-dependent part, on one thread.
void BM_EngineLaterTimePoint(benchmark::State& state) {
  constexpr std::int32_t NSIM = 4096;
  const JobData job = make_job(state.range(0) == 1, NSIM);
  IntVector indicator(NSIM);
  RealMatrix sims(NSIM + 2, 3);
  CycleEngine<ChlorideModel> engine(ChlorideModel(job), NSIM, job.seed, indicator, sims, null_output(), 1);
  engine.run(1);
  double t = 10;
  for (auto _ : state) {
    engine.run(t);
    t = t < 100 ? t + 10 : 10;
  }
  state.SetItemsProcessed(state.iterations() * NSIM);
}
BENCHMARK(BM_EngineLaterTimePoint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// --- Numbers and the simulation table -------------------------------------

/// Values as a simulation table holds them: R, S and G of normal-ish size.
std::vector<double> table_values() {
  std::vector<double> v = uniforms(TABLE_SIZE);
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = (v[i] - 0.3) * (i % 3 == 0 ? 80.0 : 40.0);
  return v;
}

void BM_WriteExponent(benchmark::State& state) {
  const std::vector<double> v = table_values();
  char buf[MAX_EXPONENT_CHARS];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(write_exponent(buf, v[i], 8));
    i = (i + 1) & (TABLE_SIZE - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteExponent);

/// The same numbers by snprintf (two exponent digits; widening not counted).
void BM_SnprintfExponent(benchmark::State& state) {
  const std::vector<double> v = table_values();
  char buf[64];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(buf, sizeof buf, "%4.8e", v[i]));
    i = (i + 1) & (TABLE_SIZE - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SnprintfExponent);

void BM_WriteFixed(benchmark::State& state) {
  const std::vector<double> v = table_values();
  char buf[MAX_FIXED_CHARS];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(write_fixed(buf, v[i], 4));
    i = (i + 1) & (TABLE_SIZE - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteFixed);

/// A sink that keeps nothing: the formatting alone.
class DiscardingSink : public TextSink {
 public:
  void flush_if_full() override {
    bytes_ += text_.size();
    text_.clear();
  }
  std::int64_t bytes() const { return bytes_; }

 private:
  std::int64_t bytes_ = 0;
};

/// Results of one million simulations, as large_series leaves them.
struct TableFixture {
  JobData job = make_job(false, 1000000);
  SeriesResults r;
  RealMatrix predicted{2, N_PROFILE};
  TableFixture() {
    alloc_ivector(r.indicator, job.nsim);
    alloc_matrix(r.sim_results, std::int64_t{job.nsim} + 2, 3);
    for (RealVector* v : {&r.pf, &r.pf_se, &r.beta, &r.pf_beta, &r.times}) alloc_vector(*v, 1);
    const std::vector<double> v = uniforms(3 * static_cast<std::size_t>(job.nsim));
    for (std::int64_t k = 1; k <= job.nsim; ++k) {
      const double x = v[static_cast<std::size_t>(3 * (k - 1))];
      r.sim_results[k][1] = 50 + 16 * (x - 0.5);
      r.sim_results[k][2] = 40 * v[static_cast<std::size_t>(3 * k - 2)];
      r.sim_results[k][3] = r.sim_results[k][1] - r.sim_results[k][2];
      r.indicator[k] = r.sim_results[k][3] >= 0 ? 0 : 1;
    }
  }
};

/// The whole results report of a million simulations, formatted on every CPU
/// and dropped; bytes per second of report text.
void BM_ResultsReportFormatting(benchmark::State& state) {
  static TableFixture f;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    DiscardingSink sink;
    write_results_report(sink, "large_series", f.job, f.r, f.predicted);
    sink.flush_if_full();
    bytes += sink.bytes();
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ResultsReportFormatting)->Unit(benchmark::kMillisecond)->UseRealTime();

/// The same report written to a file, as write_reports writes it.
void BM_ResultsReportFile(benchmark::State& state) {
  static TableFixture f;
  const std::string path = "/tmp/tbx_bench_rs.dat";
  std::int64_t bytes = 0;
  for (auto _ : state) {
    OutputFile file(path, "jobname_rs.dat");
    write_results_report(file, "large_series", f.job, f.r, f.predicted);
    file.commit();
    state.PauseTiming();
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
      std::fseek(in, 0, SEEK_END);
      bytes += std::ftell(in);
      std::fclose(in);
    }
    state.ResumeTiming();
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ResultsReportFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
