#include "python_observer.hpp"

#include <utility>

namespace py = pybind11;

namespace tbxpy {

namespace {

// Signals are looked at this often at most: each look takes the GIL, which
// may have to wait for another Python thread.
constexpr auto POLL_INTERVAL = std::chrono::milliseconds(20);
// Progress is passed on at the start and the end of every time point, and
// in between at most this often, so that a callable that prints does not
// slow the run down.
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);

}  // namespace

PythonObserver::PythonObserver(py::object progress) : progress_(std::move(progress)) {}

void PythonObserver::progress(const tbxrun::Progress& p) {
  if (progress_.is_none() || pending_) return;
  const Clock::time_point now = Clock::now();
  const bool edge = p.point != last_point_ || p.simulations_done >= p.simulations;
  if (!edge && now - last_progress_ < PROGRESS_INTERVAL) return;
  last_point_ = p.point;
  last_progress_ = now;
  py::gil_scoped_acquire gil;
  try {
    progress_(p.point, p.points, p.t, p.simulations_done, p.simulations);
  } catch (py::error_already_set& e) {
    pending_.emplace(std::move(e));
  }
}

bool PythonObserver::cancelled() {
  if (pending_) return true;
  const Clock::time_point now = Clock::now();
  if (now - last_poll_ < POLL_INTERVAL) return false;
  last_poll_ = now;
  py::gil_scoped_acquire gil;
  if (PyErr_CheckSignals() != 0) pending_.emplace();  // takes the raised exception
  return pending_.has_value();
}

void PythonObserver::raise_pending() {
  if (!pending_) return;
  py::error_already_set error = std::move(*pending_);
  pending_.reset();
  throw error;
}

}  // namespace tbxpy
