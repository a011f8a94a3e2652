#pragma once
// Files that must not outlive an interrupted run.
//
// A run ended by SIGINT, SIGTERM or SIGHUP first removes every name
// registered here, then ends by the same signal, so that its caller sees the
// usual status. The handler does nothing but unlinkat() on names copied in
// advance into fixed slots, which is safe at any moment of the run and from
// any thread.

#include <string>

namespace tbx {

/// Installs the handlers, except for signals that the process was started
/// with ignored (as nohup or a background job of a shell arrange).
void remove_registered_files_on_signal();

/// For as long as it lives, SIGINT, SIGTERM and SIGHUP wait: a run that
/// puts several files in place does so completely, and ends by the signal
/// right after.
class SignalsDeferred {
 public:
  SignalsDeferred();
  ~SignalsDeferred();
  SignalsDeferred(const SignalsDeferred&) = delete;
  SignalsDeferred& operator=(const SignalsDeferred&) = delete;
};

/// Registers `name` in the folder `dir_fd` for as long as it lives.
class RemoveOnSignal {
 public:
  RemoveOnSignal(int dir_fd, const std::string& name);
  ~RemoveOnSignal() { release(); }
  RemoveOnSignal(const RemoveOnSignal&) = delete;
  RemoveOnSignal& operator=(const RemoveOnSignal&) = delete;
  /// Ends the registration early (the name has been renamed or removed).
  void release() noexcept;

 private:
  int slot_ = -1;
};

}  // namespace tbx
