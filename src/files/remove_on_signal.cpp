#include "files/remove_on_signal.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace tbx {

namespace {

// The one piece of process-wide mutable state: a signal handler can reach
// nothing else. Registration happens on the main thread; a slot's name is
// complete before the slot is marked used, and the handler reads only used
// slots.
struct Slot {
  std::atomic<bool> used{false};
  int dir_fd = -1;
  char name[1024] = {};
};
constexpr int SLOTS = 8;
Slot slots[SLOTS];
// Slots are taken in turn, so that a slot just released, which a handler
// running on another thread might still be reading, is the last to be
// written again.
int next_slot = 0;
// While a run's files are being put in place, a cleanup signal only notes
// itself here; the run ends by it once all of them are.
std::atomic<bool> deferring{false};
std::atomic<int> deferred_signal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

constexpr int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

void remove_and_raise(int signal_number) {
  for (Slot& slot : slots) {
    if (slot.used.load()) ::unlinkat(slot.dir_fd, slot.name, 0);
  }
  // Raised again with the default action, the signal ends the process as
  // soon as it is no longer blocked: when the handler returns.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
  ::raise(signal_number);
}

extern "C" void remove_and_end(int signal_number) {
  if (deferring.load()) {
    deferred_signal.store(signal_number);
    return;
  }
  remove_and_raise(signal_number);
}

}  // namespace

void remove_registered_files_on_signal() {
  for (const int signal_number : CLEANUP_SIGNALS) {
    struct sigaction old {};
    if (::sigaction(signal_number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = remove_and_end;
    sigemptyset(&action.sa_mask);
    // The other cleanup signals wait while the names are removed.
    for (const int other : CLEANUP_SIGNALS) sigaddset(&action.sa_mask, other);
    ::sigaction(signal_number, &action, nullptr);
  }
}

SignalsDeferred::SignalsDeferred() { deferring.store(true); }

SignalsDeferred::~SignalsDeferred() {
  deferring.store(false);
  if (const int signal_number = deferred_signal.exchange(0)) remove_and_raise(signal_number);
}

RemoveOnSignal::RemoveOnSignal(int dir_fd, const std::string& name) {
  if (name.size() >= sizeof(Slot::name) || name.find('\0') != std::string::npos) return;
  for (int tries = 0; tries < SLOTS; ++tries) {
    const int i = next_slot;
    next_slot = (next_slot + 1) % SLOTS;
    Slot& slot = slots[i];
    if (slot.used.load()) continue;
    slot.dir_fd = dir_fd;
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    slot.used.store(true);
    slot_ = i;
    return;
  }
}

void RemoveOnSignal::release() noexcept {
  if (slot_ >= 0) slots[slot_].used.store(false);
  slot_ = -1;
}

}  // namespace tbx
