#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

#include "support/jobs.hpp"
#include "report/write_reports.hpp"

namespace tbx {
namespace {

using namespace test::short_names;

// A job and its results laid out by hand: `points` time points, `nsim`
// simulations, everything zero unless a test sets it.
struct Fixture {
  JobData job;
  SeriesResults r;
  RealMatrix predicted{2, 12};

  Fixture(std::int32_t points, std::int32_t nsim) {
    job = test::make_job({{{N, 50, 8}, {LN, 0.693, 0.2}, {B, 4, 6}, {D, 3, 0}, {D, 0.45, 0},
                           {D, 10, 100}, {N, 28, 0}, {N, 20, 2}, {D, 28, 0}}},
                         nsim, points - 1);
    alloc_ivector(r.indicator, nsim);
    alloc_matrix(r.sim_results, std::int64_t{nsim} + 2, 3);
    for (RealVector* v : {&r.pf, &r.pf_se, &r.beta, &r.pf_beta, &r.times}) alloc_vector(*v, points);
  }
  std::string report() {
    TextSink sink;
    write_results_report(sink, "pier 3", job, r, predicted);
    return sink.text();
  }
  std::string spreadsheet() {
    TextSink sink;
    write_spreadsheet(sink, job, r, predicted);
    return sink.text();
  }
};

std::string section(const std::string& text, const std::string& from, const std::string& to) {
  const auto a = text.find(from);
  const auto b = text.find(to, a);
  return a == std::string::npos ? "" : text.substr(a, b == std::string::npos ? b : b - a);
}

TEST(ResultsReport, HeaderAndInputEcho) {
  Fixture f(1, 0);
  const std::string text = f.report();
  const std::string rule = " ________________________________________________________________________ \n";
  const std::string blank(74, ' ');
  EXPECT_EQ(text.substr(0, 2 + rule.size()), " \n" + rule);
  EXPECT_NE(text.find(" " + blank.substr(1) + "\n                              R O Z U Z O Z"), std::string::npos);
  EXPECT_NE(text.find("File name: pier 3\nProject name: test job\n"), std::string::npos);
  EXPECT_EQ(section(text, " ##### Input Data", " ##### Output"),
            " ##### Input Data ##### \n" + rule +
                " \n"
                "  Number of simulations: n = 0 \n"
                "  Initial seed: i = 12345 \n"
                "  Concrete cover: xc = N(50.000,8.000)\n"
                "  Diffusion Coefficient: Dcoef = LN(0.693,0.200)\n"
                "  Critical Chloride Concenrtration: Ccr = B(4.000,6.000)\n"
                "  Surface Chloride Concenrtration: Cs = D(3.000)\n"
                "  Age exponent: n = D(0.450)\n"
                "  Time: t = D(10.000,100.000)\n"
                "  Time of testing: to = N(28.000,0.000) \n"
                " \n");
}

TEST(ResultsReport, OutputLineAndSpreadsheetLine) {
  Fixture f(1, 0);
  f.r.times[1] = 50;
  f.r.pf[1] = 12.34;
  f.r.pf_se[1] = 0.0032886;
  f.r.beta[1] = 1.1583;
  f.r.pf_beta[1] = 12.3456;
  EXPECT_NE(f.report().find("(Beta Index) \n \n  50  12.3400  3.2886000e-003  1.1583  12.3456 \n \n \n"),
            std::string::npos);
  EXPECT_EQ(f.spreadsheet(), " 50 \n 50 12.340000 0.003289 1.158300 12.345600 \n\n");
}

// Both files show a negative probability from Beta raised by 100, and the
// spreadsheet does so whether or not the report was written first.
TEST(ResultsReport, NegativeProbabilitiesFromBetaAreShownRaised) {
  Fixture f(4, 0);
  f.r.pf_beta[1] = -15.865525393145708;
  f.r.pf_beta[2] = -50;
  f.r.pf_beta[3] = -0.0;  // Beta so low that erfc underflowed: 100 %
  f.r.pf_beta[4] = 0.0;
  const std::string sheet = f.spreadsheet();
  EXPECT_NE(sheet.find(" 84.134475 \n"), std::string::npos);
  EXPECT_NE(sheet.find(" 100.000000 \n"), std::string::npos);
  const std::string text = f.report();
  EXPECT_NE(text.find("  0.0000  84.1345 \n"), std::string::npos);
  EXPECT_NE(text.find("  0.0000  50.0000 \n"), std::string::npos);
  EXPECT_NE(text.find("  0.0000  100.0000 \n"), std::string::npos);
  EXPECT_NE(text.find("  0.0000  0.0000 \n"), std::string::npos);
  EXPECT_EQ(f.spreadsheet(), sheet);
  EXPECT_EQ(test::bits(f.r.pf_beta[3]), test::bits(-0.0));  // the results stay as the series left them
}

TEST(ResultsReport, SimulationRowsKeepTheirColumnsForNegativeAndUndefinedG) {
  Fixture f(1, 3);
  const double rows[3][3] = {{50, 37.5, 12.5}, {41.3, 44.5, -3.2}, {50, NAN, NAN}};
  for (int j = 1; j <= 3; ++j) {
    for (int k = 1; k <= 3; ++k) f.r.sim_results[j][k] = rows[j - 1][k - 1];
    f.r.indicator[j] = j == 1 ? 0 : 1;
  }
  EXPECT_EQ(section(f.report(), "\n\n", "@"),
            "\n\n"
            "      1   0            1.25000000e+001    5.00000000e+001    3.75000000e+001 \n"
            "      2   1           -3.20000000e+000    4.13000000e+001    4.45000000e+001 \n"
            // printf pads "nan" to the field width of four like any number.
            "      3   1            nan    5.00000000e+001     nan \n");
}

// The index is counted up in place rather than formatted per row: through
// every carry to one more digit, and across blocks of rows.
TEST(ResultsReport, SimulationIndexCountsThroughCarriesAndBlocks) {
  const std::int32_t nsim = 4100;
  Fixture f(1, nsim);
  const std::string table = section(f.report(), "Variable (S) \n\n", "@");
  std::istringstream lines(table.substr(table.find("\n\n") + 2));
  std::string line;
  std::int32_t k = 0;
  while (std::getline(lines, line)) {
    ++k;
    char expected[16];
    std::snprintf(expected, sizeof expected, "%7d   0 ", k);
    ASSERT_EQ(line.substr(0, 12), expected) << "row " << k;
  }
  EXPECT_EQ(k, nsim);
}

TEST(ResultsReport, NoSimulationsLeavesTheHeadingsOnly) {
  Fixture f(1, 0);
  const std::string text = f.report();
  EXPECT_EQ(section(text, " ##### I, G", "@"),
            std::string(" ##### I, G, R & S #####\n") +
                " ________________________________________________________________________ \n \n"
                "  Index   Indicator    Failure            Resistance         Load         \n"
                "          Function (I) Function (G)       Variable (R)       Variable (S) \n\n");
}

TEST(ResultsReport, ProfileSectionOnlyWithTheProfileFit) {
  Fixture f(1, 0);
  f.job.n_points = 5;
  f.job.tp = 3650;
  for (int k = 1; k <= 5; ++k) {
    f.job.profile_depth[k] = 0.5 * k;
    f.job.profile_cl[k] = 0.412;
    f.predicted[1][k] = 0.398;
    f.predicted[2][k] = 0.401;
  }
  EXPECT_EQ(f.report().find("Profile prediction"), std::string::npos);
  f.job.analysis_mode = 2;
  const std::string text = f.report();
  EXPECT_NE(text.find("  Prediction age [days]: tp = 3650.0 \n"), std::string::npos);
  EXPECT_NE(text.find("  Depth(cm)  Profile    Profile 1  Profile 2 \n \n"
                      "  0.500      0.412      0.398      0.401 \n"),
            std::string::npos);
  EXPECT_NE(text.find("  2.500      0.412      0.398      0.401 \n \n \n ##### I, G, R & S"),
            std::string::npos);
  EXPECT_EQ(section(f.spreadsheet(), "\n\n", "@"),
            "\n\n 0.500 0.412 0.398 0.401 \n 1.000 0.412 0.398 0.401 \n 1.500 0.412 0.398 0.401 \n"
            " 2.000 0.412 0.398 0.401 \n 2.500 0.412 0.398 0.401 \n");
}

TEST(Spreadsheet, SeriesStartsWithTheLastTime) {
  Fixture f(10, 0);
  for (int v = 1; v <= 10; ++v) f.r.times[v] = 10.0 * v;
  f.r.pf_se[3] = 0.00000049;
  f.r.beta[4] = std::numeric_limits<double>::infinity();
  f.r.beta[5] = NAN;
  const std::string text = f.spreadsheet();
  EXPECT_EQ(text.substr(0, 6), " 100 \n");
  EXPECT_NE(text.find(" 30 0.000000 0.000000 0.000000 0.000000 \n"), std::string::npos);
  EXPECT_NE(text.find(" 40 0.000000 0.000000 inf 0.000000 \n"), std::string::npos);
  EXPECT_NE(text.find(" 50 0.000000 0.000000 nan 0.000000 \n"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 12);
}

}  // namespace
}  // namespace tbx
