#pragma once
// A mistake in what the user asked for rather than in the job: an option,
// or a setting that the job shows not to fit (a design life outside its
// series). It ends the program with its own exit status, before anything
// is simulated or written.

#include <stdexcept>

namespace tbx {

/// Exit status of a usage mistake.
inline constexpr int USAGE_EXIT_STATUS = 2;

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tbx
