// Golden bits: the program's own results pinned to the last bit.
//
// Users compare reports byte for byte across runs and versions, so a change
// in the last bit of a sampled value, a special function or a summary
// statistic is a change in what they see. The high-precision tables
// (prob/moment_distribution_test, summary/statistics_test,
// model/fib_reference_test) bound each result's error against the exact value;
// these tables pin today's doubles exactly, which also catches slips smaller
// than that error (a constant cut short, a dropped final Newton step, a
// reordered sum).
//
// After an intended change to the arithmetic, check the high-precision tests
// still pass, then regenerate the tables from the new build and paste them in
// place of the old ones:
//
//   build/tests/tbx_tests --gtest_also_run_disabled_tests --gtest_filter=GoldenBits.DISABLED_PrintTables
//
// The results are those of glibc's libm (std::exp, std::log, std::lgamma,
// std::erf) with -ffp-contract=off; another libm may differ in the last bit.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "model/fib_model.hpp"
#include "prob/beta_functions.hpp"
#include "prob/moment_distribution.hpp"
#include "prob/normal.hpp"
#include "prob/regularized_beta.hpp"
#include "summary/binomial.hpp"
#include "summary/summary.hpp"

namespace tbx {
namespace {

constexpr double INF = HUGE_VAL;

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

/// A double as a C++ literal: hexadecimal (exact) or, for inputs, the
/// shortest decimal that reads back to it.
std::string literal(double v, bool hex) {
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  if (std::isnan(v)) return "NAN";
  char buf[64];
  if (hex) {
    std::snprintf(buf, sizeof buf, "%a", v);
    return buf;
  }
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

template <std::size_t N, std::size_t M>
struct Row {
  double in[N];
  double out[M];
};

/// Compares each row's results with its pinned bits or, with `print`, writes
/// the table again with today's results.
template <std::size_t N, std::size_t M, std::size_t R>
void pin(const char* name, const Row<N, M> (&rows)[R], const std::function<std::vector<double>(const double*)>& compute,
         bool print) {
  if (print) std::printf("// %s\n", name);
  for (const Row<N, M>& row : rows) {
    const std::vector<double> got = compute(row.in);
    ASSERT_EQ(got.size(), M);
    std::string inputs;
    for (std::size_t i = 0; i < N; ++i) inputs += (i ? ", " : "") + literal(row.in[i], false);
    if (print) {
      std::string outputs;
      for (std::size_t i = 0; i < M; ++i) outputs += (i ? ", " : "") + literal(got[i], true);
      std::printf("    {{%s},\n     {%s}},\n", inputs.c_str(), outputs.c_str());
      continue;
    }
    for (std::size_t i = 0; i < M; ++i) {
      EXPECT_EQ(bits(got[i]), bits(row.out[i])) << name << " {" << inputs << "} result " << i << ": "
                                                << literal(got[i], true) << ", pinned " << literal(row.out[i], true);
    }
  }
}

// Moment samplers: kind (0 normal, 1 lognormal, 2 beta, 3 uniform), truncated,
// mean, sd, lower, upper; the quantiles at the six u below. Beta shapes from
// 0.1 to 1e5, lognormal CoV from 0.05 to 2, cuts on one and both sides.
void moment_samplers(bool print) {
  static const double U[] = {1e-10, 0.025, 0.37, 0.5, 0.81, 0.999};
  static const Row<6, 6> rows[] = {
    {{0, 0, 45, 8, 0, 0},
     {-0x1.7901acbd10aap+2, 0x1.d51fe6708803ep+4, 0x1.52c2ea2e7f15fp+5, 0x1.68p+5, 0x1.a02f73f12192fp+5, 0x1.16e32edc8111cp+6}},
    {{0, 0, 0.1, 0.02, 0, 0},
     {-0x1.be158d45cd398p-6, 0x1.f2145a29a3dc1p-5, 0x1.7e6a21833207ap-4, 0x1.999999999999ap-4, 0x1.e1846b72167ebp-4, 0x1.4b603bfb867d2p-3}},
    {{1, 0, 8.9, 1.8, 0, 0},
     {0x1.386b55ded27dp+1, 0x1.791497e39c9b9p+2, 0x1.0533f2348e17cp+3, 0x1.1725e9446817dp+3, 0x1.4ccac7b76530bp+3, 0x1.03217854caaa2p+4}},
    {{1, 0, 3, 6, 0, 0},
     {0x1.b7ed5f1a86508p-12, 0x1.c939e5e304b0ap-4, 0x1.c2e313126f75ap-1, 0x1.5775c544ff264p+0, 0x1.0584e6521db43p+2, 0x1.0e94854d07278p+6}},
    {{1, 0, 4800, 240, 0, 0},
     {0x1.b41306cbc8919p+11, 0x1.0fac23b3a99f1p+12, 0x1.26b2bc1c86b05p+12, 0x1.2ba02dfbf527bp+12, 0x1.390fe34c1f189p+12, 0x1.5da7e1ca38a1fp+12}},
    {{2, 0, 0.3, 0.12, 0, 1},
     {0x1.78bf03ec2c9e8p-11, 0x1.902039648e363p-4, 0x1.ff55df4d82c67p-3, 0x1.28e73059a79b3p-2, 0x1.a04a63a469a1cp-2, 0x1.688ad7ad8e315p-1}},
    {{2, 0, 8.9, 5.6, 0, 50},
     {0x1.5176cd4182a2bp-15, 0x1.22998e4c12818p+0, 0x1.886355bb9b249p+2, 0x1.f853efe3a034cp+2, 0x1.b4422687522e2p+3, 0x1.f4d4cec56f9b7p+4}},
    {{2, 0, 0.6, 0.15, 0.2, 2},
     {0x1.9ffb0ad7741aep-3, 0x1.666263524112p-2, 0x1.12f064b867803p-1, 0x1.2bf9a85406cdep-1, 0x1.75c358da5fde8p-1, 0x1.254e26d3cc90bp+0}},
    {{2, 0, 0.5, 0.45, 0, 1},
     {0x1.09114ab5d2739p-275, 0x1.e1a7ae9e673fdp-38, 0x1.fae5d8fa55bddp-5, 0x1p-1, 0x1.ffe2f7ab707a1p-1, 0x1p+0}},
    {{2, 0, 0.02, 0.1, 0, 1},
     {0x0p+0, 0x1.f25cd5687d1a3p-278, 0x1.5a6855ce33f1bp-75, 0x1.0b24dbd5d7808p-52, 0x1.3d9e43cc4f47dp-16, 0x1.eba08380354fp-1}},
    {{2, 0, 0.5, 0.001, 0, 1},
     {0x1.f97c79a1f8b2cp-2, 0x1.fdfe352779629p-2, 0x1.ffa901a271b3p-2, 0x1.ffffffffffff6p-2, 0x1.00731160907bep-1, 0x1.01950a4f86febp-1}},
    {{2, 0, 1e-04, 1e-06, 0, 1},
     {0x1.894c58954c5e6p-14, 0x1.9b3fdfdbd3efbp-14, 0x1.a206ae047c69cp-14, 0x1.a36a9a8821783p-14, 0x1.a71bfabe98p-14, 0x1.b082e9fc3cp-14}},
    {{3, 0, 0, 0, 5, 25},
     {0x1.4000000225c18p+2, 0x1.6p+2, 0x1.8cccccccccccdp+3, 0x1.ep+3, 0x1.5333333333334p+4, 0x1.8fae147ae147bp+4}},
    {{3, 0, 0, 0, 0.1, 0.7},
     {0x1.9999999db921ap-4, 0x1.d70a3d70a3d71p-4, 0x1.49ba5e353f7cfp-2, 0x1.999999999999ap-2, 0x1.2c083126e978dp-1, 0x1.6617c1bda5119p-1}},
    {{3, 0, 0, 0, -3.3, 17.9},
     {-0x1.a6666661d8eaep+1, -0x1.628f5c28f5c28p+1, 0x1.22d0e56041893p+2, 0x1.d333333333333p+2, 0x1.bbe76c8b43958p+3, 0x1.1e0f9096bb98cp+4}},
    {{0, 1, 45, 8, 30, 60},
     {0x1.e0000002eea2ep+4, 0x1.0110629151b19p+5, 0x1.5418b1b9ed44cp+5, 0x1.68p+5, 0x1.9bde216b731dap+5, 0x1.df231a1afb12ep+5}},
    {{0, 1, 45, 8, 20, INF},
     {0x1.40000046fe0fcp+4, 0x1.d6fef86c74398p+4, 0x1.52db367be1ec4p+5, 0x1.681241696d38bp+5, 0x1.a039a77444f61p+5, 0x1.16e558ce63464p+6}},
    {{0, 1, 0.1, 0.02, -INF, 0.11},
     {-0x1.d09278de1dd1p-6, 0x1.d8f40138a2cc1p-5, 0x1.63d7a84a03a9ap-4, 0x1.79169bb3ecc65p-4, 0x1.a5fc26e078a2p-4, 0x1.c2663116a63b6p-4}},
    {{1, 1, 3, 0.9, 1, 5},
     {0x1.000000c4c6a6ap+0, 0x1.9c8f5271f0926p+0, 0x1.4ad9388d7b9a7p+1, 0x1.6bd8042f34ddep+1, 0x1.d031607ba38bdp+1, 0x1.3eaa75e0124dp+2}},
    {{1, 1, 8.9, 1.8, 10, INF},
     {0x1.40000000158d2p+3, 0x1.4143f5397e876p+3, 0x1.55ca44d7d0659p+3, 0x1.5fddc5c9c07e6p+3, 0x1.865215a2ca9dep+3, 0x1.185a2b6f14a5ap+4}},
  };
  pin("moment samplers", rows, [&](const double* in) {
    MomentDistribution d{static_cast<MomentKind>(static_cast<int>(in[0])), in[2], in[3], in[4], in[5], in[1] != 0};
    const MomentSampler s(d);
    std::vector<double> out;
    for (const double u : U) out.push_back(s.quantile(u));
    return out;
  }, print);
}

// I_x(p, q) and I_{1-x}(q, p) by each tail on both sides of its switch point
// (p + 1) / (p + q + 2): p, q, x. Shapes small, mixed, and both from 10 up
// (Stirling's series with ln sqrt(2 pi)); the last three have a small I_x
// above the switch point, where 1 - complement would cancel.
void regularized_beta_tails(bool print) {
  static const Row<3, 2> rows[] = {
    {{0.5, 0.5, 0.1},
     {0x1.a37f5c4c419f2p-3, 0x1.972028ecef984p-1}},
    {{0.5, 0.5, 0.7},
     {0x1.43111b0925577p-1, 0x1.79ddc9edb5512p-2}},
    {{2, 3, 0.3},
     {0x1.64a8c154c985fp-2, 0x1.4dab9f559b3dp-1}},
    {{2, 3, 0.5},
     {0x1.5fffffffffffep-1, 0x1.4000000000003p-2}},
    {{2, 3, 0.55},
     {0x1.845c91d14e3bep-1, 0x1.ee8db8bac7109p-3}},
    {{2, 3, 0.9},
     {0x1.fe1b089a02752p-1, 0x1.e4f765fd8ada1p-9}},
    {{0.1, 5, 0.001},
     {0x1.39cdd05293479p-1, 0x1.8c645f5ad970ap-2}},
    {{0.1, 5, 0.2},
     {0x1.f404fadd60f63p-1, 0x1.7f60a453e13a6p-6}},
    {{3, 40, 0.05},
     {0x1.67701c925f331p-2, 0x1.4c47f1b6d066p-1}},
    {{3, 40, 0.12},
     {0x1.c9c39bd9e96eap-1, 0x1.b1e32130b48adp-4}},
    {{30, 70, 0.25},
     {0x1.16261fe1a74dbp-3, 0x1.ba767807962c9p-1}},
    {{30, 70, 0.3},
     {0x1.05f3b9c7c899ap-1, 0x1.f4188c706eca2p-2}},
    {{30, 70, 0.36},
     {0x1.cdd55018153e4p-1, 0x1.91557f3f560e3p-4}},
    {{1000, 2000, 0.33},
     {0x1.670c40939f005p-2, 0x1.4c79dfb6307f2p-1}},
    {{1000, 2000, 0.3345},
     {0x1.1c74ba36edf66p-1, 0x1.c7168b9224134p-2}},
    {{1000, 2000, 0.35},
     {0x1.f2208a08581edp-1, 0x1.bbeebef4fc269p-6}},
    {{50000, 50000, 0.499},
     {0x1.0ddeb96c0c8c6p-2, 0x1.7910a349f9b9dp-1}},
    {{50000, 50000, 0.5015},
     {0x1.a83f732abc85p-1, 0x1.5f0233550debep-3}},
    {{12, 11, 0.6},
     {0x1.8b3d07f37ddf9p-1, 0x1.d30be0320881dp-3}},
    {{12, 11, 0.45},
     {0x1.f733a83fa1095p-3, 0x1.823315f017bddp-1}},
    {{1, 0.05, 0.7},
     {0x1.de98e7ac48221p-5, 0x1.e21671853b7ep-1}},
    {{0.5, 0.1, 0.8},
     {0x1.ecf1e8ce23f0cp-3, 0x1.84c385cc7703dp-1}},
    {{0.05, 1, 0.3},
     {0x1.e21671853b7ep-1, 0x1.de98e7ac48221p-5}},
  };
  pin("regularized beta", rows, [](const double* in) {
    const RegularizedBeta beta(in[0], in[1]);
    return std::vector<double>{beta.cdf(in[2]), beta.upper_tail(1 - in[2])};
  }, print);
}

// The quantile of the sampler's beta, x and 1 - x: p, q, u.
void regularized_beta_quantiles(bool print) {
  static const Row<3, 2> rows[] = {
    {{0.5, 0.5, 0.2},
     {0x1.8722191a02d61p-4, 0x1.cf1bbcdcbfa54p-1}},
    {{2, 3, 1e-08},
     {0x1.567909fdc1f29p-15, 0x1.fffaa61bd809p-1}},
    {{2, 3, 0.6},
     {0x1.c72b0230163cp-2, 0x1.1c6a7ee7f4e2p-1}},
    {{0.1, 5, 0.3},
     {0x1.a64cb95ba6178p-21, 0x1.ffffe59b346a4p-1}},
    {{0.1, 5, 0.99},
     {0x1.2c8d1577849cep-2, 0x1.69b975443db19p-1}},
    {{3, 40, 0.001},
     {0x1.2fe99481add2dp-8, 0x1.fda02cd6fca46p-1}},
    {{3, 40, 0.9},
     {0x1.f2dd019b9925p-4, 0x1.c1a45fcc8cdb6p-1}},
    {{30, 70, 0.05},
     {0x1.d1822aaaeb313p-3, 0x1.8b9f75554533bp-1}},
    {{30, 70, 0.5},
     {0x1.31d471d0dbcb1p-2, 0x1.6715c717921a8p-1}},
    {{30, 70, 0.999},
     {0x1.ccb04b747dc84p-2, 0x1.19a7da45c11bep-1}},
    {{1000, 2000, 0.01},
     {0x1.41017a5735243p-2, 0x1.5f7f42d4656dep-1}},
    {{1000, 2000, 0.77},
     {0x1.5bd3e83e581a6p-2, 0x1.52160be0d3f2dp-1}},
    {{50000, 50000, 0.3},
     {0x1.ff26a4956be0ap-2, 0x1.006cadb54a0fbp-1}},
    {{12, 11, 0.42},
     {0x1.0090de2fbd845p-1, 0x1.fede43a084f76p-2}},
    {{0.8, 250, 0.6},
     {0x1.6a11b2342968ep-9, 0x1.fe95ee4dcbd69p-1}},
  };
  pin("regularized beta quantile", rows, [](const double* in) {
    const BetaPoint b = RegularizedBeta(in[0], in[1]).quantile(in[2]);
    return std::vector<double>{b.x, b.y};
  }, print);
}

// ln Gamma(x) of the classic beta functions, each of its ranges.
void log_gammas(bool print) {
  static const Row<1, 1> rows[] = {
    {{1e-07},
     {0x1.01e3b8346c0edp+4}},
    {{0.3},
     {0x1.188637a6c4196p+0}},
    {{0.9},
     {0x1.0fe0882e465b1p-4}},
    {{1.4},
     {-0x1.e9ef3b28cb1e8p-4}},
    {{2.5},
     {0x1.2383e809a67e8p-2}},
    {{3.7},
     {0x1.6d9625e359b87p+0}},
    {{9.2},
     {0x1.611f3cfc78882p+3}},
    {{14},
     {0x1.68d5a9c3b32ccp+4}},
    {{250.5},
     {0x1.1ad22d13ec839p+10}},
    {{1e+06},
     {0x1.871921236750dp+23}},
  };
  pin("log gamma", rows, [](const double* in) {
    double x = in[0];
    log_gamma(x);
    return std::vector<double>{x};
  }, print);
}

// The quantile behind the Clopper-Pearson bounds: q, a, b; small a and b
// are the bounds at few failures.
void binomial_beta_quantiles(bool print) {
  static const Row<3, 1> rows[] = {
    {{0.025, 1, 1},
     {0x1.999999999999bp-6}},
    {{0.975, 1, 9},
     {0x1.58566836e0d57p-2}},
    {{0.025, 2, 9},
     {0x1.9d0d73454209p-6}},
    {{0.975, 9, 2},
     {0x1.f3179465d5efbp-1}},
    {{0.05, 3, 1},
     {0x1.793eace1a3427p-2}},
    {{0.5, 1, 2},
     {0x1.2bec33301886ap-2}},
    {{0.025, 17, 84},
     {0x1.a2e087c218779p-4}},
    {{0.975, 18, 83},
     {0x1.085f22852f9b6p-2}},
    {{0.025, 5, 999996},
     {0x1.b3cd448d91a46p-20}},
    {{0.975, 999999, 2},
     {0x1.fffff7df6ff6p-1}},
    {{0.3, 0.5, 0.5},
     {0x1.a61b9f7154b4p-3}},
    {{1e-09, 40, 60},
     {0x1.3512748481891p-3}},
    {{0.999, 40, 60},
     {0x1.1b8d36f9cf29dp-1}},
    {{0.025, 500, 9500},
     {0x1.77500a62805d5p-5}},
    {{0.975, 1, 9999999},
     {0x1.8c17233d00002p-22}},
  };
  pin("binomial beta quantile", rows, [](const double* in) {
    return std::vector<double>{beta_quantile(in[0], in[1], in[2])};
  }, print);
}

// Clopper-Pearson 95 % bounds and the indices -Phi^-1 of each, at zero, one,
// n - 1 and all failures: k, n; low, high, -Phi^-1(high), -Phi^-1(low).
void clopper_pearson_bounds(bool print) {
  static const Row<2, 4> rows[] = {
    {{0, 1},
     {0x0p+0, 0x1.f333333333333p-1, -0x1.f5c0331eeff83p+0, INF}},
    {{1, 1},
     {0x1.99999999999ap-6, 0x1p+0, -INF, 0x1.f5c0331eeff83p+0}},
    {{0, 2},
     {0x0p+0, 0x1.af0bb276dedbcp-1, -0x1.0092ca6e68556p+0, INF}},
    {{1, 2},
     {0x1.9c314843b037p-7, 0x1.f98f3adef13f2p-1, -0x1.1e9662792b564p+1, 0x1.1e9662792b566p+1}},
    {{2, 2},
     {0x1.43d1362484912p-3, 0x1p+0, -INF, 0x1.0092ca6e68555p+0}},
    {{0, 10},
     {0x0p+0, 0x1.3be6aa73f7f9ap-2, 0x1.000f0d79b4aa5p-1, INF}},
    {{1, 10},
     {0x1.4b6d044ec2e3dp-9, 0x1.c7b24e1350e7bp-2, 0x1.1b29da284c4p-3, 0x1.66d4d662f09edp+1}},
    {{9, 10},
     {0x1.1c26d8f6578c5p-1, 0x1.feb492fbb13cdp-1, -0x1.66d4d662f0955p+1, -0x1.1b29da284c419p-3}},
    {{10, 10},
     {0x1.620caac604033p-1, 0x1p+0, -INF, -0x1.000f0d79b4aa5p-1}},
    {{0, 300},
     {0x0p+0, 0x1.9074f75190e59p-7, 0x1.20039c9b097fcp+1, INF}},
    {{1, 300},
     {0x1.61f4240f728fap-14, 0x1.2dfa463154791p-6, 0x1.0b2c1c1d6a88cp+1, 0x1.e17e9d79842adp+1}},
    {{299, 300},
     {0x1.f6902dce755c4p-1, 0x1.fff4f05edf842p-1, -0x1.e17e9d7983505p+1, -0x1.0b2c1c1d6a89p+1}},
    {{300, 300},
     {0x1.f9be2c22b9bc7p-1, 0x1p+0, -INF, -0x1.20039c9b098p+1}},
    {{17, 300},
     {0x1.113af6c5adcd5p-5, 0x1.6d486e87d203bp-4, 0x1.58879c9c2ef0cp+0, 0x1.d569cbcdd0f7fp+0}},
    {{0, 1e+06},
     {0x0p+0, 0x1.ef1cb2fa718e4p-19, 0x1.1ee11977bae38p+2, INF}},
    {{1, 1e+06},
     {0x1.b2f4e54a4556p-26, 0x1.75e7e2c3540bdp-18, 0x1.19328a0ab7bc1p+2, 0x1.5cbd76944a13fp+2}},
    {{999999, 1e+06},
     {0x1.ffff450c0e9e6p-1, 0x1.ffffff26858cfp-1, -0x1.5cbd768eb20a7p+2, -0x1.19328a0ab87afp+2}},
    {{1e+06, 1e+06},
     {0x1.ffff8438d3416p-1, 0x1p+0, -INF, -0x1.1ee11977ba7d8p+2}},
    {{523, 1e+06},
     {0x1.f66ab492c7b28p-12, 0x1.2abc294a6de02p-11, 0x1.a0757eb85f3e9p+1, 0x1.a6b831a20d0bcp+1}},
    {{0, 1e+07},
     {0x0p+0, 0x1.8c1720ac4ceefp-22, 0x1.3cdf9522e02e1p+2, INF}},
    {{1, 1e+07},
     {0x1.5bf71e6dcb48fp-29, 0x1.2b2010dcc994ap-21, 0x1.37b2e1bc6ab8ap+2, 0x1.76159f46d8cb3p+2}},
    {{9999999, 1e+07},
     {0x1.ffffed4dfef28p-1, 0x1.ffffffea408dcp-1, -0x1.76159f1b2e4f1p+2, -0x1.37b2e1bc9e884p+2}},
    {{1e+07, 1e+07},
     {0x1.fffff39f46faap-1, 0x1p+0, -INF, -0x1.3cdf9522e2995p+2}},
  };
  pin("Clopper-Pearson", rows, [](const double* in) {
    const Interval ci = clopper_pearson(static_cast<std::int64_t>(in[0]), static_cast<std::int64_t>(in[1]), 0.95);
    return std::vector<double>{ci.low, ci.high, -normal_quantile(ci.high), -normal_quantile(ci.low)};
  }, print);
}

// Order statistics bounding a quantile at 95 %: n, p; low, high (1-based,
// 0 or n + 1 where no bound exists).
void order_bounds(bool print) {
  static const Row<2, 2> rows[] = {
    {{5, 0.5},
     {0x0p+0, 0x1.8p+2}},
    {{59, 0.05},
     {0x0p+0, 0x1p+3}},
    {{100, 0.05},
     {0x1p+0, 0x1.6p+3}},
    {{100, 0.5},
     {0x1.4p+5, 0x1.e8p+5}},
    {{300, 0.0968},
     {0x1.3p+4, 0x1.4p+5}},
    {{1000, 0.1},
     {0x1.48p+6, 0x1.ep+6}},
    {{1000, 0.999},
     {0x1.f28p+9, 0x1.f48p+9}},
    {{1e+06, 1e-04},
     {0x1.44p+6, 0x1.e4p+6}},
    {{1e+06, 0.5},
     {0x1.e753p+18, 0x1.e93d4p+18}},
    {{1e+07, 0.0228},
     {0x1.bb818p+17, 0x1.bf1f8p+17}},
  };
  pin("quantile order bounds", rows, [](const double* in) {
    const OrderBounds b = quantile_order_bounds(static_cast<std::int64_t>(in[0]), in[1], 0.95);
    return std::vector<double>{static_cast<double>(b.low), static_cast<double>(b.high)};
  }, print);
}

// The mean cover reaching Pf: S, spread, sd, Pf, lognormal. Spread 0 is 2000
// equal loads S (a closed form for a normal cover); otherwise the loads are
// S (1 + spread (frac(0.618... i) - 1/2)). Results: the mean cover and Pf at
// 40 mm. The search ends with a Newton step for a normal cover: its bits show.
void design_covers(bool print) {
  static const Row<5, 2> rows[] = {
    {{40, 0, 6, 0.0968, 0},
     {0x1.7e666f4b99122p+5, 0x1.9p+5}},
    {{55.5, 0, 8, 0.5, 0},
     {0x1.bcp+5, 0x1.857690f441383p+6}},
    {{30, 0, 3, 1e-04, 0},
     {0x1.4941a325371bcp+5, 0x1.5f7c793d17938p-5}},
    {{30, 0, 3, 0.0968, 1},
     {0x1.0e5b3801b96p+5, 0x1.d31ce17661a64p-8}},
    {{40, 0.8, 6, 0.0968, 0},
     {0x1.b59fd360b15b4p+5, 0x1.8ffddc5ec91cep+5}},
    {{25, 1.5, 10, 0.02, 0},
     {0x1.b25e45c28275fp+5, 0x1.05fd1a295d7c3p+4}},
    {{40, 0.8, 6, 0.0968, 1},
     {0x1.b5e167b0c4cp+5, 0x1.90b8297b7a2eep+5}},
    {{60, 0.3, 4, 0.4, 0},
     {0x1.eed699d84b70cp+5, 0x1.8feb7c26c31c3p+6}},
  };
  pin("design cover", rows, [](const double* in) {
    std::vector<double> s(2000);
    for (std::size_t i = 0; i < s.size(); ++i) {
      const double f = 0.6180339887498949 * static_cast<double>(i);
      s[i] = in[0] * (1 + in[1] * (f - std::floor(f) - 0.5));
    }
    const DesignCoverSummary d = design_cover(s, in[4] != 0, in[2], in[3]);
    return std::vector<double>{d.mean_cover, d.curve.at(4).pf};
  }, print);
}

// The fib model with every variable fixed: a, dx, D_RCM0, alpha, be, T, Cs_dx,
// C0, Ccrit, kt, t; ke D_RCM0 kt (mm2/year), D_app at t, C(a, t) and the
// initiation time.
void fib_points(bool print) {
  static const Row<11, 4> rows[] = {
    {{45, 8.9, 8.9, 0.3, 4800, 15, 3, 0.1, 0.6, 1, 50},
     {0x1.aa107228c15b4p+7, 0x1.e7e12f237843fp+4, 0x1.96a786d4bcd33p+0, 0x1.86f3d4ff1b587p+2}},
    {{60, 0, 1.9, 0.6, 4800, 9.5, 2.1, 0.05, 0.45, 1, 100},
     {0x1.071a48f2983abp+5, 0x1.c735efcd2ecap-2, 0x1.999999d13f9p-5, 0x1.171e1dfdacb6p+18}},
    {{35, 12, 15.8, 0.45, 5200, 27, 4.2, 0, 0.8, 1.2, 7.5},
     {0x1.c844f4ed3b609p+9, 0x1.d02f81d142236p+6, 0x1.3895f862b39cep+1, 0x1.4ab2fcbba11a4p-2}},
    {{80, 8.9, 4.7, 0.2, 4400, 20, 3.5, 0.2, 0.9, 0.8, 1},
     {0x1.ddf5c2ba148b2p+6, 0x1.1dfd672342e6bp+6, 0x1.99999ad190ccp-3, 0x1.8c8b268c7cb45p+5}},
  };
  pin("fib model", rows, [](const double* in) {
    FibJob job;
    for (int v = 0; v < FIB_VARIABLES; ++v) {
      job.inputs[static_cast<std::size_t>(v)].distribution = {MomentKind::fixed, in[v], 0, 0, 0};
    }
    const FibModel model(job);
    const FibModel::Kept& kept = model.constant();
    const double t = in[FIB_VARIABLES];
    const FibModel::TimePoint point = model.at(t);
    return std::vector<double>{kept[FibModel::DIFFUSION], kept[FibModel::DIFFUSION] * point.ageing,
                               model.load(kept, point, t), model.initiation_time(kept, in[FIB_CCRIT])};
  }, print);
}

TEST(GoldenBits, MomentSamplers) { moment_samplers(false); }
TEST(GoldenBits, RegularizedBeta) { regularized_beta_tails(false); }
TEST(GoldenBits, RegularizedBetaQuantile) { regularized_beta_quantiles(false); }
TEST(GoldenBits, LogGamma) { log_gammas(false); }
TEST(GoldenBits, BinomialBetaQuantile) { binomial_beta_quantiles(false); }
TEST(GoldenBits, ClopperPearsonAndIndices) { clopper_pearson_bounds(false); }
TEST(GoldenBits, QuantileOrderBounds) { order_bounds(false); }
TEST(GoldenBits, DesignCover) { design_covers(false); }
TEST(GoldenBits, FibModel) { fib_points(false); }

TEST(GoldenBits, DISABLED_PrintTables) {
  moment_samplers(true);
  regularized_beta_tails(true);
  regularized_beta_quantiles(true);
  log_gammas(true);
  binomial_beta_quantiles(true);
  clopper_pearson_bounds(true);
  order_bounds(true);
  design_covers(true);
  fib_points(true);
}

}  // namespace
}  // namespace tbx
