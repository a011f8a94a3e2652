#include "cli/main_entry.hpp"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <new>
#include <string>

#include "api/internal.hpp"
#include "api/job_file.hpp"
#include "api/load_job.hpp"
#include "check/check_job.hpp"
#include "cli/command_line.hpp"
#include "core/fatal.hpp"
#include "files/job_lock.hpp"
#include "files/remove_on_signal.hpp"
#include "input/prompt.hpp"
#include "summary/summary.hpp"
#include "tbxrun/tbxrun.hpp"

namespace tbx {

const char* const BANNER =
    "\n"
    " _____________________________________________________________________________\n"
    "                                                                              \n"
    "                               R O Z U Z O Z me                               \n"
    "                                                                              \n"
    "                 Permanence of Reinforced Concrete Structures                 \n"
    "                            for Marine Environment                            \n"
    "                                                                              \n"
    "                                                                              \n"
    "                            Release v2.3 - August 2009                        \n"
    "                                                                              \n"
    " _____________________________________________________________________________\n"
    "\n";

namespace {

/// The run's console text goes to standard output as it comes.
class ConsoleOutput final : public tbxrun::Observer {
 public:
  void console(const std::string& text) override { std::fwrite(text.data(), 1, text.size(), stdout); }
};

tbxrun::Settings settings_of(const CommandLine& command) {
  tbxrun::Settings settings;
  settings.threads = command.threads;
  settings.summary = command.summary;
  settings.target_beta = command.target_beta;
  settings.design_life = command.design_life;
  settings.sobol_simulations = command.sobol_simulations;
  return settings;
}

/// Runs the job `job_name` as the command line asks: reads and checks its
/// file, simulates, writes the reports (and the summary files where there
/// is a summary) beside it, and shows the verdict of a summary.
void run_job(const std::string& job_name, const CommandLine& command, const CycleFactory& make_cycle) {
  const tbxrun::internal::JobFile file = tbxrun::internal::find_job_file(job_name);
  // One run of a job at a time, from reading its file to its last report;
  // a job that does not exist takes no lock.
  const JobLock lock(file.folder, file.base, file.file_name(), file.job_name, stderr,
                     command.no_wait ? JobLock::Wait::no : JobLock::Wait::yes);
  const tbxrun::Job job = tbxrun::internal::load_job(file);
  const tbxrun::Settings settings = settings_of(command);
  tbxrun::internal::RunHooks hooks;
  hooks.cycles = make_cycle;
  hooks.before_simulation = [&] {
    tbxrun::internal::check_writable(job, settings.summary, file.folder.fd());
    std::fputs("\nPerforming simulation ... \n", stdout);
  };
  ConsoleOutput console;
  const tbxrun::Results results = tbxrun::internal::run_job(job, settings, &console, hooks);
  tbxrun::internal::write_files(results, file.folder.fd(), !command.no_sync);
  // Only with a summary: the console of a plain classic run stays as it always was.
  if (results.summary) std::fputs(verdict_lines(*results.summary).c_str(), stdout);
}

void print_usage_error(const std::string& message) {
  std::fprintf(stderr, "tbxrun: %s\n%s\nTry 'tbxrun --help' for more information.\n", message.c_str(),
               USAGE_SYNOPSIS);
}

int fail(const std::string& report) {
  std::fflush(stdout);
  std::fwrite(report.data(), 1, report.size(), stderr);
  return 1;
}

}  // namespace

int main_entry(int argc, char** argv, const CycleFactory& make_cycle) {
  CommandLine command;
  try {
    command = parse_command_line(argc, argv);
  } catch (const UsageError& error) {
    print_usage_error(error.what());
    return USAGE_EXIT_STATUS;
  }
  if (command.action == CommandLine::Action::help || command.action == CommandLine::Action::version) {
    const std::string text = command.action == CommandLine::Action::help ? help_text() : version_text();
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  }
  // The checker reads the job and reports; it runs nothing and writes no file.
  if (command.action == CommandLine::Action::check) {
    try {
      return check_job(*command.job_name, stdout);
    } catch (const FatalError& error) {
      return fail(error.report());
    } catch (const std::exception& error) {
      return fail(fatal_report(error.what(), 0));
    }
  }

  // Progress lines and warnings can be many; into a file or a pipe they go
  // out in large pieces, while a terminal still shows each line at once.
  static char stdout_buffer[1 << 16];
  if (!::isatty(STDOUT_FILENO)) std::setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);
  // Past a file-size limit a write then fails with an error that is reported
  // and cleaned up, instead of the signal killing the process and leaving a
  // temporary report file behind.
  std::signal(SIGXFSZ, SIG_IGN);
  // A closed pipe on standard output is a write failure, reported at the
  // end like any other, not a silent end by the signal.
  std::signal(SIGPIPE, SIG_IGN);
  remove_registered_files_on_signal();
  try {
    std::fputs(BANNER, stdout);
    std::string job_name;
    if (command.extra_job_name) fatal_error("Usage:  tbxrun  jobname", 0);
    if (command.job_name) {
      job_name = *command.job_name;
    } else {
      prompt_job_name(job_name);
    }
    if (job_name.size() > MAX_JOB_NAME) fatal_error("Job name too long (max. = 991 characters)", 0);
    run_job(job_name, command, make_cycle);
    // A run whose progress could not be written is not reported as complete.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) fatal_error("Unable to write standard output", 0);
    return 0;
  } catch (const tbxrun::Error& error) {
    if (error.kind() != tbxrun::Error::Kind::usage) return fail(error.report());
    // An option that only the job can show to be wrong (a design life
    // outside its series): nothing has been simulated or written.
    std::fflush(stdout);
    print_usage_error(error.finding().message);
    return USAGE_EXIT_STATUS;
  } catch (const JobBusy& busy) {
    // Not an error of the run: it may simply be tried again later.
    std::fflush(stdout);
    const std::string report = fatal_report(busy.what(), 0);
    std::fwrite(report.data(), 1, report.size(), stderr);
    return JOB_BUSY_EXIT_STATUS;
  } catch (const FatalError& error) {
    return fail(error.report());
  } catch (const std::bad_alloc&) {
    return fail(fatal_report(MEMORY_ALLOCATION_FAILED, 0));
  } catch (const std::exception& error) {
    // Nothing else is expected to be thrown; should it happen, it still
    // ends the run with a report and status 1 rather than an abort.
    return fail(fatal_report(error.what(), 0));
  }
}

}  // namespace tbx
