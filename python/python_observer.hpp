#pragma once
// The observer of a run started from Python.
//
// The run goes on without the GIL; this observer takes it back only to call
// the progress callable and to let Python handle signals. Whatever Python
// raises there (KeyboardInterrupt on Ctrl-C, an exception of the callable)
// cancels the run and is kept, so that the caller can raise it again once
// the run has ended.

#include <pybind11/pybind11.h>

#include <chrono>
#include <optional>
#include <vector>

#include "tbxrun/tbxrun.hpp"

namespace tbxpy {

class PythonObserver final : public tbxrun::Observer {
 public:
  /// `progress`: None, or a callable taking (point, points, t, done, total).
  explicit PythonObserver(pybind11::object progress);

  void progress(const tbxrun::Progress& p) override;
  void warning(const tbxrun::Warning& w) override { warnings_.push_back(w); }
  bool cancelled() override;

  /// The warnings of the run, in the order they came.
  const std::vector<tbxrun::Warning>& warnings() const { return warnings_; }

  /// Raises what Python raised during the run, if anything. Needs the GIL.
  void raise_pending();

 private:
  using Clock = std::chrono::steady_clock;

  pybind11::object progress_;
  std::optional<pybind11::error_already_set> pending_;
  std::vector<tbxrun::Warning> warnings_;
  Clock::time_point last_poll_{};
  Clock::time_point last_progress_{};
  int last_point_ = 0;
};

}  // namespace tbxpy
