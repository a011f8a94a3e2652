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

}  // namespace
}  // namespace tbx
