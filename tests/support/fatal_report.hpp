#pragma once
// Observing the fatal path.

#include <string>

#include "core/fatal.hpp"

namespace tbx::test {

/// The report of the FatalError that `action` raises, or "" when it returns.
template <typename Action>
std::string report_of(Action&& action) {
  try {
    action();
  } catch (const FatalError& error) {
    return error.report();
  }
  return "";
}

}  // namespace tbx::test
