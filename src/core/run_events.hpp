#pragma once
// Where a run's events go: its console text, its warnings as data, its
// progress, and the question whether to go on.
//
// The console program writes the text to standard output and needs nothing
// else; a library client gets every event typed as well. The engine calls
// these on the thread that runs the series only, never on a helper thread.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

namespace tbx {

/// A warning of a run, beside the console text that shows it.
struct RunWarning {
  enum class Kind {
    negative_diffusion,  ///< the model's sample warning: a drawn diffusion coefficient below zero
    not_a_number,        ///< a continued fraction of the beta function gave no number
  };
  Kind kind = Kind::not_a_number;
  int point = 0;                ///< 1-based time point; 0: before the series
  std::int64_t simulation = 0;  ///< 1-based; 0 where none applies
  double value = 0;             ///< the value concerned, where there is one
};

/// The receiver of a run's events; every member but text() may be left as it is.
class RunEvents {
 public:
  virtual ~RunEvents() = default;
  /// Console text, in the order the console shows it.
  virtual void text(std::string_view text) = 0;
  virtual void warning(const RunWarning&) {}
  /// Time point `point` of `points` (1-based) at time t: `done` of `nsim`
  /// simulations are evaluated.
  virtual void progress(int /*point*/, int /*points*/, double /*t*/, std::int64_t /*done*/, std::int64_t /*nsim*/) {}
  /// `done` simulations of the time point that progress() last named are
  /// evaluated (before the first time point: sampled).
  virtual void simulations_done(std::int64_t /*done*/) {}
  /// Asked between steps of a run; true ends it with a cancelled error.
  virtual bool cancelled() { return false; }
  /// The text so far must be out now (before the run ends on an error).
  virtual void flush() {}
};

/// What the engine writes to: a console stream (text only) or a receiver of
/// typed events. A small handle, passed by value; a stream converts to it,
/// so a caller that only wants the text hands over its FILE*.
class Console {
 public:
  Console(std::FILE* out) : file_(out) {}  // NOLINT: a stream is a console
  Console(RunEvents& events) : events_(&events) {}  // NOLINT: so is a receiver

  void text(std::string_view s) const {
    if (events_) {
      if (!s.empty()) events_->text(s);
    } else {
      std::fwrite(s.data(), 1, s.size(), file_);
    }
  }
  /// Only for a receiver: the stream shows a warning through its text.
  void warning(const RunWarning& w) const {
    if (events_) events_->warning(w);
  }
  bool typed() const { return events_ != nullptr; }
  void progress(int point, int points, double t, std::int64_t done, std::int64_t nsim) const {
    if (events_) events_->progress(point, points, t, done, nsim);
  }
  void simulations_done(std::int64_t done) const {
    if (events_) events_->simulations_done(done);
  }
  /// Ends the run with a cancelled error where the receiver asks for it.
  void stop_if_cancelled() const;
  void flush() const {
    if (events_) {
      events_->flush();
    } else {
      std::fflush(file_);
    }
  }

 private:
  std::FILE* file_ = nullptr;
  RunEvents* events_ = nullptr;
};

/// Between the chunks of parallel work: how far it is, and whether to go on,
/// asked on the thread that made the poll only (the receiver hears from that
/// thread alone; it takes a share of the chunks itself). Nothing for a stream.
class ChunkPoll {
 public:
  explicit ChunkPoll(Console out) : out_(out), caller_(std::this_thread::get_id()) {}
  /// `n` more simulations are done, on any thread; on the poll's own, tells
  /// the receiver and ends the run where it asks to cancel.
  void done(std::int64_t n) {
    if (!out_.typed()) return;
    const std::int64_t total = done_.fetch_add(n, std::memory_order_relaxed) + n;
    if (std::this_thread::get_id() != caller_) return;
    out_.simulations_done(total);
    out_.stop_if_cancelled();
  }

 private:
  Console out_;
  std::thread::id caller_;
  std::atomic<std::int64_t> done_{0};
};

}  // namespace tbx
