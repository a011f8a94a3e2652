// tbxrun_literal JOB: runs a job the plain way, as a yardstick for timings.
//
// Every time point calls the plain cycle, which draws the uniform numbers
// and samples every simulation again, on one thread.
// Everything else (reading, the profile fit, the statistics and the reports)
// is the program's own. Its output must be byte for byte that of tbxrun,
// which makes it a cross-check of the cycle engine as well.

#include "cli/main_entry.hpp"

int main(int argc, char** argv) { return tbx::main_entry(argc, argv, tbx::plain_cycles()); }
