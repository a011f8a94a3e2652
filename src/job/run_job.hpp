#pragma once

#include <string>

#include "job/time_series.hpp"

namespace tbx {

/// The program's banner, as printed at start.
extern const char* const BANNER;

/// Longest job name that leaves room for the report file names.
inline constexpr std::size_t MAX_JOB_NAME = 991;

/// Runs the job named `job_name`: reads and checks "<job>.dat", simulates
/// and writes both reports, formatting them on `threads` threads (0: every
/// available CPU). Errors end the run through the fatal path.
void run_job(const std::string& job_name, const CycleFactory& make_cycle = engine_cycles(), int threads = 0);

/// The whole program: the command line, the banner, the job name from the
/// command line or the console, the run. Returns the exit status; prints any
/// fatal report. Without `make_cycle` the cycle engine runs on the threads
/// the command line asks for.
int main_entry(int argc, char** argv, const CycleFactory& make_cycle = {});

}  // namespace tbx
