#include "job/run_job.hpp"

int main(int argc, char** argv) { return tbx::main_entry(argc, argv); }
