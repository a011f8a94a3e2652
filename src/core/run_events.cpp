#include "core/run_events.hpp"

#include "core/fatal.hpp"

namespace tbx {

void Console::stop_if_cancelled() const {
  if (events_ && events_->cancelled()) fatal_error(FatalKind::cancelled, "Run cancelled", 0);
}

}  // namespace tbx
