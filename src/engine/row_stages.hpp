#pragma once

#include <cstdint>
#include <functional>

namespace tbx {

/// Work on rows of the results that a cycle interleaves with its own, each in
/// ascending order of rows: before(first, last) while the rows still hold
/// the previous time point, after(first, last) once the cycle has written
/// them. Either may be empty.
struct RowStages {
  std::function<void(std::int64_t first, std::int64_t last)> before, after;
};

}  // namespace tbx
