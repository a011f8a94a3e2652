#include "cli/command_line.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tbx {
namespace {

CommandLine parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tbxrun");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return parse_command_line(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, PlainJobNamesKeepTheirMeaning) {
  EXPECT_FALSE(parse({}).job_name);
  EXPECT_EQ(parse({"pier"}).job_name, "pier");
  const CommandLine two = parse({"pier", "wall"});
  EXPECT_EQ(two.job_name, "pier");
  EXPECT_TRUE(two.extra_job_name);
  EXPECT_EQ(parse({"-"}).job_name, "-");
  EXPECT_EQ(parse({"--", "--help"}).job_name, "--help");
  EXPECT_EQ(parse({"--", "--help"}).action, CommandLine::Action::run);
}

TEST(CommandLine, OptionsAndValues) {
  const CommandLine c = parse({"--summary", "--target-beta", "1.5", "--design-life=50", "--threads", "3", "job"});
  EXPECT_TRUE(c.summary);
  EXPECT_EQ(c.target_beta, 1.5);
  EXPECT_EQ(c.design_life, 50.0);
  EXPECT_EQ(c.threads, 3);
  EXPECT_EQ(c.job_name, "job");
  EXPECT_FALSE(parse({}).target_beta);
  EXPECT_EQ(parse({"-h"}).action, CommandLine::Action::help);
  EXPECT_EQ(parse({"--version", "--help"}).action, CommandLine::Action::help);
  EXPECT_EQ(parse({"--check", "job"}).action, CommandLine::Action::check);
  const CommandLine json = parse({"--check", "--json", "pier", "wall", "deck"});
  EXPECT_TRUE(json.json);
  EXPECT_EQ(json.extra_job_names, (std::vector<std::string>{"wall", "deck"}));
}

TEST(CommandLine, MistakesAreUsageErrorsNamingTheOption) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bogus"}, "--bogus"},
      {{"job", "--summary"}, "--summary"},
      {{"--summary", "--summary", "job"}, "--summary"},
      {{"--target-beta"}, "--target-beta"},
      {{"--target-beta", "8"}, "--target-beta"},
      {{"--target-beta", "-8"}, "--target-beta"},
      {{"--target-beta", "1.3x"}, "--target-beta"},
      {{"--target-beta", "nan"}, "--target-beta"},
      {{"--design-life", "-1"}, "--design-life"},
      {{"--design-life", "ten"}, "--design-life"},
      {{"--threads", "0"}, "--threads"},
      {{"--threads", "2.5"}, "--threads"},
      {{"--summary=yes"}, "--summary"},
      {{"--check"}, "--check"},
      {{"--check", "pier", "wall"}, "--check"},
      {{"--check", "--json"}, "--check"},
      {{"--json", "pier"}, "--json"},
      {{"--=x"}, "unknown option '--'"},
  };
  for (const auto& [args, named] : cases) {
    try {
      parse(args);
      ADD_FAILURE() << "accepted: " << args.front();
    } catch (const UsageError& error) {
      EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace tbx

namespace tbx {
namespace {

// Every option that takes a value, at the lowest and the highest value it
// accepts and the first it refuses on either side.
TEST(CommandLine, OptionBoundaries) {
  struct Row {
    const char* option;
    const char* value;
    bool accepted;
  };
  const Row rows[] = {
      {"--threads", "1", true},           {"--threads", "4096", true},
      {"--threads", "0", false},          {"--threads", "4097", false},
      {"--target-beta", "7.999999", true}, {"--target-beta", "-7.999999", true},
      {"--target-beta", "8", false},      {"--target-beta", "-8", false},
      {"--design-life", "0", true},       {"--design-life", "1e308", true},
      {"--design-life", "-1e-300", false}, {"--design-life", "1e309", false},
  };
  for (const Row& r : rows) {
    bool accepted = true;
    try {
      parse({r.option, r.value, "job"});
    } catch (const UsageError&) {
      accepted = false;
    }
    EXPECT_EQ(accepted, r.accepted) << r.option << " " << r.value;
  }
}

// The help is made from the option table; its text stays as users and
// scripts (tbxsweep reads the options it lists) know it.
TEST(CommandLine, HelpText) {
  EXPECT_EQ(help_text(),
            "Usage: tbxrun [options] [--] [jobname]\n"
            "\n"
            "Runs the job in jobname.dat and writes jobname_rs.dat (results report)\n"
            "and jobname_xls.dat (spreadsheet columns). Without a job name the\n"
            "program asks for one.\n"
            "\n"
            "Options:\n"
            "  -h, --help            print this help and exit\n"
            "      --version         print the version and exit\n"
            "      --check           check jobname.dat and report every finding, with its\n"
            "                        line, field, value, expectation and fix; runs nothing\n"
            "                        and writes no file\n"
            "      --json            with --check: the findings as JSON, one line per job;\n"
            "                        several job names may follow\n"
            "      --summary         also write jobname_summary.json and jobname_summary.csv\n"
            "      --target-beta B   target reliability index for the summary (default 1.3)\n"
            "      --design-life Y   design life in years for the summary (default: last time)\n"
            "      --sobol N         with the summary (implied), Sobol indices from two samples\n"
            "                        of N simulations each, at the design life\n"
            "      --threads N       use N threads (default: every available CPU)\n"
            "      --no-sync         do not flush the files to disk before exiting (for a\n"
            "                        study that syncs its folder once at the end)\n"
            "      --no-wait         where another run of the job is in progress, end at\n"
            "                        once (exit status 75) instead of waiting for it\n"
            "      --                end of options (for a job name that starts with '-')\n"
            "\n"
            "Exit status:\n"
            "  0  the run is complete; with --check: no findings\n"
            "  1  an error, reported on standard error; with --check: a finding is an error\n"
            "  2  a wrong command line\n"
            "  3  with --check: warnings only\n"
            "  75 --no-wait: another run holds the job; nothing was run or written\n"
            "\n"
            "See the manual page tbxrun(1) (in the source tree: man ./docs/tbxrun.1) for the\n"
            "job file, the reports and the checker's warnings with their thresholds.\n");
}

}  // namespace
}  // namespace tbx
