#pragma once
// Memory for large arrays that are filled at once.

#include <cstddef>
#include <cstdint>

namespace tbx {

/// Makes the pages of [first, first + bytes) present and writable before a
/// large array is filled, with huge pages where whole ones fit. Contents are
/// unchanged. Faulting fresh pages in one at a time costs some 10 us each on
/// virtual machines of the kind this runs on, and the faults of two threads
/// do not overlap; one request for the whole range costs a tenth of that.
/// Only a hint: where the system offers neither, the pages fault as usual.
void prepare_pages(void* first, std::size_t bytes);

/// Zero-filled room for `doubles` doubles in a mapping of its own, starting
/// on a huge-page boundary and prepared as by prepare_pages. A request that
/// cannot be met ends the run with the allocation failure.
class PageBlock {
 public:
  PageBlock() = default;
  explicit PageBlock(std::int64_t doubles);
  PageBlock(const PageBlock&) = delete;
  PageBlock& operator=(const PageBlock&) = delete;
  PageBlock(PageBlock&& other) noexcept;
  PageBlock& operator=(PageBlock&& other) noexcept;
  ~PageBlock();

  double* data() const { return first_; }

 private:
  void* map_ = nullptr;
  std::size_t mapped_ = 0;
  double* first_ = nullptr;
};

}  // namespace tbx
