#pragma once

namespace tbx {

/// Runs one job from the command line; returns the exit status.
int main_entry(int argc, char** argv);

}  // namespace tbx
