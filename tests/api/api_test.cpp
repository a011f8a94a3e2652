// The library as a client sees it: a job from text, run in memory, gives
// what the program writes for the same job; findings and errors as data.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "support/run_program.hpp"
#include "tbxrun/tbxrun.hpp"

namespace tbx {
namespace {

namespace fs = std::filesystem;
using faults::TempDir;

const std::string FIB_JOB =
    "title = \"pile\"\nmodel = \"fib\"\nsimulations = 2000\nseed = 7\ntimes = [10, 30, 50]\n"
    "binder = \"slag\"\nexposure = \"submerged\"\n"
    "D_RCM0 = { distribution = \"normal\", mean = 4.8, sd = 1 }\n"
    "T = { distribution = \"normal\", mean = 12, sd = 3 }\n"
    "Cs_dx = { distribution = \"lognormal\", mean = 3, sd = 0.9 }\n"
    "C0 = { distribution = \"fixed\", value = 0.1 }\n"
    "[a]\ndistribution = \"normal\"\nmean = 60\nsd = 8\n";

/// The summary JSON the program writes for `text` saved as `file` (a
/// classic job with --summary).
std::string program_summary(const std::string& text, const std::string& file) {
  TempDir dir;
  faults::write_file(dir / file, text);
  const std::string base = file.substr(0, file.find('.'));
  faults::RunOptions o = faults::run_in(dir.path(), {"--summary", "--threads", "2", base});
  o.env = {"SOURCE_DATE_EPOCH=0"};
  const faults::RunResult r = faults::run_program(o);
  EXPECT_EQ(r.exit_status, 0) << r.describe();
  return faults::read_file(dir / (base + "_summary.json"));
}

/// Records what a run reports, and on which thread.
class Recorder : public tbxrun::Observer {
 public:
  void progress(const tbxrun::Progress& p) override {
    ++progress_calls;
    other_thread |= std::this_thread::get_id() != caller;
    last = p;
  }
  bool cancelled() override { return cancel_after >= 0 && progress_calls > cancel_after; }
  void console(const std::string& text) override { console_text += text; }

  std::thread::id caller = std::this_thread::get_id();
  int progress_calls = 0;
  int cancel_after = -1;  ///< cancel once this many progress events came; -1: never
  bool other_thread = false;
  tbxrun::Progress last;
  std::string console_text;
};

TEST(Api, RunFromTextGivesTheProgramsSummary) {
  ::setenv("SOURCE_DATE_EPOCH", "0", 1);
  const struct {
    std::string file, text;
  } jobs[] = {{"small.dat", faults::small_job()}, {"pile.toml", FIB_JOB}};
  for (const auto& j : jobs) {
    SCOPED_TRACE(j.file);
    const tbxrun::Job job = tbxrun::Job::from_text(j.text, j.file);
    Recorder recorder;
    tbxrun::Settings settings;
    settings.threads = 2;
    const tbxrun::Results r = tbxrun::run(job, settings, &recorder);
    ASSERT_TRUE(r.summary);
    EXPECT_EQ(tbxrun::summary_json(r), program_summary(j.text, j.file));
    ASSERT_EQ(r.times.size(), r.summary->time_points.size());
    for (std::size_t i = 0; i < r.times.size(); ++i) {
      EXPECT_EQ(r.failures[i], r.summary->time_points[i].failures);
      EXPECT_DOUBLE_EQ(r.pf[i] * 100, r.summary->time_points[i].pf);
    }
    EXPECT_FALSE(recorder.other_thread);
    EXPECT_EQ(recorder.last.point, static_cast<int>(r.times.size()));
    EXPECT_EQ(recorder.last.simulations_done, r.simulations);
    EXPECT_NE(recorder.console_text.find("Simulation cycle number 1 \n"), std::string::npos);
  }
}

TEST(Api, WriteGivesTheProgramsFiles) {
  ::setenv("SOURCE_DATE_EPOCH", "0", 1);
  TempDir mine, program;
  const std::string text = faults::small_job();
  faults::write_file(program / "small.dat", text);
  faults::RunOptions o = faults::run_in(program.path(), {"--summary", "small"});
  o.env = {"SOURCE_DATE_EPOCH=0"};
  ASSERT_EQ(faults::run_program(o).exit_status, 0);
  const tbxrun::Job job = tbxrun::Job::from_text(text, "small.dat");
  tbxrun::write(job, tbxrun::run(job), mine.path().string());
  for (const char* name : {"small_rs.dat", "small_xls.dat", "small_summary.json", "small_summary.csv"}) {
    EXPECT_EQ(faults::read_file(mine / name), faults::read_file(program / name)) << name;
  }
}

TEST(Api, CheckGivesFindingsAsData) {
  std::string text = faults::small_job();
  text.replace(text.find("400 ;"), 5, "4x0 ;");
  const std::vector<tbxrun::Finding> classic = tbxrun::check(tbxrun::Job::from_text(text, "bad.dat"));
  ASSERT_EQ(classic.size(), 1u);
  EXPECT_EQ(classic[0].severity, tbxrun::Finding::Severity::error);
  EXPECT_EQ(classic[0].file, "bad.dat");
  EXPECT_EQ(classic[0].value, "4x0");
  EXPECT_GT(classic[0].line, 0);
  EXPECT_NE(classic[0].field.find("simulations"), std::string::npos) << classic[0].field;

  std::string fib = FIB_JOB;
  fib.replace(fib.find("mean = 4.8"), 10, "mean = 4.8e-12");
  const std::vector<tbxrun::Finding> warned = tbxrun::check(tbxrun::Job::from_text(fib, "pile"));
  ASSERT_EQ(warned.size(), 1u);
  EXPECT_EQ(warned[0].severity, tbxrun::Finding::Severity::warning);
  EXPECT_EQ(warned[0].file, "pile.toml");
  EXPECT_EQ(warned[0].line, 8);
  EXPECT_TRUE(tbxrun::check(tbxrun::Job::from_text(FIB_JOB, "pile")).empty());
}

TEST(Api, CancelledRunEndsWithItsOwnErrorAndWritesNothing) {
  TempDir dir;
  faults::write_file(dir / "pile.toml", FIB_JOB);
  const tbxrun::Job job = tbxrun::Job::load((dir / "pile").string());
  Recorder recorder;
  recorder.cancel_after = 1;
  try {
    tbxrun::run(job, {}, &recorder);
    FAIL() << "not cancelled";
  } catch (const tbxrun::Error& e) {
    EXPECT_EQ(e.kind(), tbxrun::Error::Kind::cancelled);
  }
  EXPECT_EQ(faults::entries(dir.path()), (std::set<std::string>{"pile.toml"}));
}

TEST(Api, ErrorsCarryTheirKindAndFields) {
  const auto error_of = [](const auto& f) {
    try {
      f();
    } catch (const tbxrun::Error& e) {
      return e;
    }
    ADD_FAILURE() << "no error";
    return tbxrun::Error(tbxrun::Error::Kind::failed, {}, "");
  };
  TempDir dir;
  EXPECT_EQ(error_of([&] { tbxrun::Job::load((dir / "none").string()); }).kind(), tbxrun::Error::Kind::not_found);

  std::string text = faults::small_job();
  text.replace(text.find("4242 ;"), 6, "42.5 ;");
  const tbxrun::Error reader = error_of([&] { tbxrun::run(tbxrun::Job::from_text(text, "bad.dat")); });
  EXPECT_EQ(reader.kind(), tbxrun::Error::Kind::invalid_job);
  EXPECT_EQ(reader.finding().value, "42.5");
  EXPECT_EQ(reader.finding().message, "Invalid integer number");
  EXPECT_GT(reader.finding().line, 0);
  EXPECT_EQ(reader.report().rfind("\nERROR:\nInvalid integer number\nLine n. ", 0), 0u) << reader.report();

  const tbxrun::Error rule = error_of([&] { tbxrun::run(tbxrun::Job::from_text(faults::small_job(-5), "neg.dat")); });
  EXPECT_EQ(rule.kind(), tbxrun::Error::Kind::invalid_job);
  EXPECT_EQ(rule.finding().value, "-5");
  EXPECT_NE(rule.finding().field.find("simulations"), std::string::npos) << rule.finding().field;
  EXPECT_FALSE(rule.finding().fix.empty());

  std::string fib = FIB_JOB;
  fib.replace(fib.find("sd = 8"), 6, "sd = -8");
  const tbxrun::Error fib_error = error_of([&] { tbxrun::run(tbxrun::Job::from_text(fib, "pile.toml")); });
  EXPECT_EQ(fib_error.kind(), tbxrun::Error::Kind::invalid_job);
  EXPECT_EQ(fib_error.finding().field, "a.sd");
  EXPECT_EQ(fib_error.finding().line, 15);

  tbxrun::Settings late;
  late.design_life = 500;
  EXPECT_EQ(error_of([&] { tbxrun::run(tbxrun::Job::from_text(FIB_JOB, "pile.toml"), late); }).kind(),
            tbxrun::Error::Kind::usage);
}

}  // namespace
}  // namespace tbx
