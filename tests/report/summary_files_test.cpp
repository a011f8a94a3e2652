#include "report/summary_files.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tbx {
namespace {

std::string json_text(const Json& value, int indent = 0) {
  std::string out;
  value.write(out, indent);
  return out;
}

// The layouts the summary files rely on, including the cases the example
// jobs never reach: empty objects and arrays, left-out members, escapes.
TEST(SummaryFiles, JsonLayouts) {
  using L = Json::Layout;
  Json nested = Json::object();
  nested.add("a", Json::array()).add("b", Json::array(L::lines_or_bare)).add("gone", Json());
  nested.add("c", Json::array().push(
                      Json::object(L::one_line).add("x", Json::number(NAN)).add("n", Json::count(std::int64_t{-3}))));
  const struct {
    Json value;
    int indent;
    const char* text;
  } rows[] = {
      {Json::object(), 2, "{\n  }"},
      {Json::object(L::one_line), 0, "{}"},
      {Json::array(L::one_line).push(Json::text("q\"\\\n\x1f")).push(Json::flag(true)), 0,
       "[\"q\\\"\\\\\\u000a\\u001f\", true]"},
      {nested, 0, "{\n  \"a\": [\n  ],\n  \"b\": [],\n  \"c\": [\n    {\"x\": null, \"n\": -3}\n  ]\n}"},
      {Json::object().merge(Json::object().add("m", Json::number(0.1))).merge(Json()), 4, "{\n      \"m\": 0.1\n    }"},
  };
  for (const auto& r : rows) EXPECT_EQ(json_text(r.value, r.indent), r.text);
  EXPECT_EQ(Json::number(INFINITY).cell(), "");
  EXPECT_EQ(Json::number(-0.5).cell(), "-0.5");
  EXPECT_EQ(Json::text("tbxrun 2.3.0").cell(), "tbxrun 2.3.0");
}

// A summary that gives reasons where it has no numbers: the optional members
// appear, the CSV leaves non-finite cells empty, and the stamp adds the
// run's columns last.
TEST(SummaryFiles, ReasonsAndStamp) {
  Summary s;
  TimePointSummary p;
  p.t = 10;
  p.beta = INFINITY;
  p.reason = "no failures";
  s.time_points = {p};
  s.importance.reason = "G does not vary";
  s.sobol.simulations = 5;
  s.provenance.program = "tbxrun 2.3.0";
  RunStamp stamp;
  stamp.run = "0123456789abcdef";
  const std::string json = summary_json(s, &stamp);
  EXPECT_NE(json.find("\"beta\": null"), std::string::npos);
  EXPECT_NE(json.find("      \"reason\": \"no failures\"\n    }"), std::string::npos);
  EXPECT_NE(json.find("\"importance\": {\n    \"reason\": \"G does not vary\"\n  },\n  \"importance_definition\""),
            std::string::npos);
  EXPECT_NE(json.find("\"variables\": [],\n    \"definition\": \"first-order"), std::string::npos);
  EXPECT_EQ(json.rfind("{\n  \"run\": \"0123456789abcdef\",\n  \"reports\": [\n  ],\n  \"program\"", 0), 0u);
  EXPECT_EQ(summary_csv(s, &stamp),
            "t,failures,pf,pf_se,pf_low,pf_high,beta,beta_low,beta_high,beta_cornell,cov,nsim_for_cov10,program,seed,"
            "nsim,job_sha256,date,run\n"
            "years,count,%,%,%,%,-,-,-,-,-,count,-,-,count,-,-,-\n"
            "10,0,0,0,0,0,,0,0,0,0,0,tbxrun 2.3.0,0,0,,,0123456789abcdef\n");
}

}  // namespace
}  // namespace tbx
