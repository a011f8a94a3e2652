#include "cli/main_entry.hpp"

int main(int argc, char** argv) { return tbx::main_entry(argc, argv); }
