#pragma once
// The console program: a client of the library (include/tbxrun) that reads
// the command line, shows the banner, asks for the job name, holds the job
// while it runs, and writes the console texts and the files.

#include <cstddef>

#include "job/time_series.hpp"

namespace tbx {

/// The program's banner, as printed at start.
extern const char* const BANNER;

/// Longest job name that leaves room for the report file names.
inline constexpr std::size_t MAX_JOB_NAME = 991;

/// The whole program: the command line, the banner, the job name from the
/// command line or the console, the run. Returns the exit status; prints any
/// fatal report. Without `make_cycle` the cycle engine runs a classic series
/// without a summary on the threads the command line asks for; a test gives
/// another cycle here.
int main_entry(int argc, char** argv, const CycleFactory& make_cycle = {});

}  // namespace tbx
