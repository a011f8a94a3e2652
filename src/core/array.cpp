#include "core/array.hpp"

#include <limits>

namespace tbx {

namespace detail {
void* allocate_zeroed(std::int64_t count, std::size_t size) {
  if (count < 0) fatal_error(FatalKind::out_of_memory, MEMORY_ALLOCATION_FAILED);
  const auto n = static_cast<std::uint64_t>(count == 0 ? 1 : count);
  if (n > std::numeric_limits<std::size_t>::max() / size) {
    fatal_error(FatalKind::out_of_memory, MEMORY_ALLOCATION_FAILED);
  }
  void* p = std::calloc(static_cast<std::size_t>(n), size);
  if (p == nullptr) fatal_error(FatalKind::out_of_memory, MEMORY_ALLOCATION_FAILED);
  return p;
}
}  // namespace detail

namespace {
// rows * cols without wrapping: an impossible product is an allocation failure.
std::int64_t block_size(std::int64_t rows, std::int64_t cols) {
  if (rows < 0 || cols < 0) fatal_error(FatalKind::out_of_memory, MEMORY_ALLOCATION_FAILED);
  if (cols != 0 && rows > std::numeric_limits<std::int64_t>::max() / cols) {
    fatal_error(FatalKind::out_of_memory, MEMORY_ALLOCATION_FAILED);
  }
  return rows * cols;
}
}  // namespace

RealMatrix::RealMatrix(std::int64_t rows, std::int64_t cols)
    : block_(block_size(rows, cols)), rows_(rows), cols_(cols) {}

void free_vector(RealVector& v) {
  if (!v.allocated()) fatal_error("freed1: unexpected null pointer", 0);
  v.release();
}

void free_ivector(IntVector& v) {
  if (!v.allocated()) fatal_error("freei1: unexpected null pointer", 0);
  v.release();
}

void free_matrix(RealMatrix& m) {
  if (!m.allocated()) fatal_error("freed2: unexpected null pointer", 0);
  m.release();
}

}  // namespace tbx
