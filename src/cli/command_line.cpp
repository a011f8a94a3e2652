#include "cli/command_line.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>
#include <string_view>

#include "core/version.hpp"

namespace tbx {

const char* const USAGE_SYNOPSIS = "Usage: tbxrun [options] [--] [jobname]";

namespace {

double parse_real(std::string_view option, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value)) {
    throw UsageError(std::string(option) + ": expected a number, got '" + text + "'");
  }
  return value;
}

int parse_count(std::string_view option, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || value < 1 || value > 4096) {
    throw UsageError(std::string(option) + ": expected a whole number from 1 to 4096, got '" + text + "'");
  }
  return static_cast<int>(value);
}

/// One option: how --help shows it and what it does to the command line.
struct OptionRule {
  std::string_view name;
  std::string_view alias;  ///< a short form, or empty
  /// What --help calls the option's value; empty: it takes none.
  std::string_view value_name;
  /// Lines of --help, separated by '\n'.
  std::string_view help;
  /// Empty for "--", which the parser handles itself.
  std::function<void(CommandLine&, const std::string& value)> apply;

  bool takes_value() const { return !value_name.empty(); }
};

const std::vector<OptionRule>& option_table() {
  static const std::vector<OptionRule> table = {
      {"--help", "-h", "", "print this help and exit",
       [](CommandLine& c, const std::string&) { c.action = CommandLine::Action::help; }},
      {"--version", "", "", "print the version and exit",
       [](CommandLine& c, const std::string&) {
         if (c.action != CommandLine::Action::help) c.action = CommandLine::Action::version;
       }},
      {"--check", "", "",
       "check jobname.dat and report every finding, with its\n"
       "line, field, value, expectation and fix; runs nothing\n"
       "and writes no file",
       [](CommandLine& c, const std::string&) {
         if (c.action == CommandLine::Action::run) c.action = CommandLine::Action::check;
       }},
      {"--json", "", "",
       "with --check: the findings as JSON, one line per job;\n"
       "several job names may follow",
       [](CommandLine& c, const std::string&) { c.json = true; }},
      {"--summary", "", "", "also write jobname_summary.json and jobname_summary.csv",
       [](CommandLine& c, const std::string&) { c.summary = true; }},
      {"--target-beta", "", "B", "target reliability index for the summary (default 1.3)",
       [](CommandLine& c, const std::string& v) {
         const double beta = parse_real("--target-beta", v);
         if (!(beta > -8 && beta < 8)) {
           throw UsageError("--target-beta: expected a value above -8 and below 8, got '" + v + "'");
         }
         c.target_beta = beta;
       }},
      {"--design-life", "", "Y", "design life in years for the summary (default: last time)",
       [](CommandLine& c, const std::string& v) {
         const double years = parse_real("--design-life", v);
         if (years < 0) throw UsageError("--design-life: expected a number of years, not negative, got '" + v + "'");
         c.design_life = years;
       }},
      {"--sobol", "", "N",
       "with the summary (implied), Sobol indices from two samples\n"
       "of N simulations each, at the design life",
       [](CommandLine& c, const std::string& v) {
         errno = 0;
         char* end = nullptr;
         const long long n = std::strtoll(v.c_str(), &end, 10);
         if (v.empty() || end != v.c_str() + v.size() || errno == ERANGE || n < 1 || n > MAX_SOBOL_SIMULATIONS) {
           throw UsageError("--sobol: expected a whole number from 1 to " + std::to_string(MAX_SOBOL_SIMULATIONS) +
                            ", got '" + v + "'");
         }
         c.sobol_simulations = n;
         c.summary = true;
       }},
      {"--threads", "", "N", "use N threads (default: every available CPU)",
       [](CommandLine& c, const std::string& v) { c.threads = parse_count("--threads", v); }},
      {"--no-sync", "", "",
       "do not flush the files to disk before exiting (for a\n"
       "study that syncs its folder once at the end)",
       [](CommandLine& c, const std::string&) { c.no_sync = true; }},
      {"--no-wait", "", "",
       "where another run of the job is in progress, end at\n"
       "once (exit status 75) instead of waiting for it",
       [](CommandLine& c, const std::string&) { c.no_wait = true; }},
      {"--", "", "", "end of options (for a job name that starts with '-')", nullptr},
  };
  return table;
}

const OptionRule* find_option(std::string_view name) {
  for (const OptionRule& candidate : option_table()) {
    if (!candidate.apply) continue;
    if (name == candidate.name || (!candidate.alias.empty() && name == candidate.alias)) return &candidate;
  }
  return nullptr;
}

/// The option's lines in --help: "  -h, --help" or "      --name VALUE", then
/// its help from column 25, continued on lines of their own.
void append_help(std::string& out, const OptionRule& option) {
  constexpr std::size_t HELP_COLUMN = 24;
  const std::size_t start = out.size();
  out += "  ";
  out += option.alias.empty() ? std::string("    ") : std::string(option.alias) + ", ";
  out += option.name;
  if (option.takes_value()) {
    out += ' ';
    out += option.value_name;
  }
  const std::size_t used = out.size() - start;
  out.append(used + 2 <= HELP_COLUMN ? HELP_COLUMN - used : 2, ' ');
  for (const char c : option.help) {
    out += c;
    if (c == '\n') out.append(HELP_COLUMN, ' ');
  }
  out += '\n';
}

bool looks_like_option(std::string_view arg) { return arg.size() > 1 && arg[0] == '-'; }

}  // namespace

CommandLine parse_command_line(int argc, const char* const* argv) {
  CommandLine line;
  std::set<std::string_view> seen;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || !looks_like_option(arg)) {
      if (line.job_name) {
        line.extra_job_name = true;
        line.extra_job_names.push_back(arg);
      } else {
        line.job_name = arg;
      }
      continue;
    }
    if (line.job_name) throw UsageError("option '" + arg + "' given after the job name; options come first");
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    // --name=value is the same as --name value.
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionRule* option = find_option(name);
    if (option == nullptr) throw UsageError("unknown option '" + name + "'");
    if (!seen.insert(option->name).second) throw UsageError("option '" + std::string(option->name) + "' given twice");
    std::string value;
    if (option->takes_value()) {
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        throw UsageError("option '" + name + "' needs a value");
      }
    } else if (equals != std::string::npos) {
      throw UsageError("option '" + name + "' takes no value");
    }
    option->apply(line, value);
  }
  if (line.json && line.action == CommandLine::Action::run) throw UsageError("option '--json' goes with '--check'");
  if (line.action == CommandLine::Action::check && line.json && !line.job_name) {
    throw UsageError("option '--check --json' needs one job name or more");
  }
  if (line.action == CommandLine::Action::check && !line.json && (!line.job_name || line.extra_job_name)) {
    throw UsageError("option '--check' needs exactly one job name");
  }
  return line;
}

std::string version_text() { return std::string("tbxrun ") + TBX_VERSION + "\n"; }

std::string help_text() {
  std::string out = std::string(USAGE_SYNOPSIS) +
                    "\n"
                    "\n"
                    "Runs the job in jobname.dat and writes jobname_rs.dat (results report)\n"
                    "and jobname_xls.dat (spreadsheet columns). Without a job name the\n"
                    "program asks for one.\n"
                    "\n"
                    "Options:\n";
  for (const OptionRule& option : option_table()) append_help(out, option);
  return out +
         "\n"
         "Exit status:\n"
         "  0  the run is complete; with --check: no findings\n"
         "  1  an error, reported on standard error; with --check: a finding is an error\n"
         "  2  a wrong command line\n"
         "  3  with --check: warnings only\n"
         "  75 --no-wait: another run holds the job; nothing was run or written\n"
         "\n"
         "See the manual page tbxrun(1) (in the source tree: man ./docs/tbxrun.1) for the\n"
         "job file, the reports and the checker's warnings with their thresholds.\n";
}

}  // namespace tbx
