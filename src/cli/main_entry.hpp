#pragma once
// The console program: command line, console texts and exit status around a
// run of the job.

#include "api/run_job.hpp"

namespace tbx {

/// The program's banner, as printed at start.
extern const char* const BANNER;

/// The whole program: the command line, the banner, the job name from the
/// command line or the console, the run. Returns the exit status; prints any
/// fatal report. Without `make_cycle` the cycle engine runs on the threads
/// the command line asks for.
int main_entry(int argc, char** argv, const CycleFactory& make_cycle = {});

}  // namespace tbx
