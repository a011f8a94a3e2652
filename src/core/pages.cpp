#include "core/pages.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

#include "core/fatal.hpp"

namespace tbx {

namespace {

constexpr std::uintptr_t HUGE_PAGE = std::uintptr_t{1} << 21;

std::uintptr_t round_up(std::uintptr_t a, std::uintptr_t to) { return (a + to - 1) & ~(to - 1); }
std::uintptr_t round_down(std::uintptr_t a, std::uintptr_t to) { return a & ~(to - 1); }

}  // namespace

void prepare_pages(void* first, std::size_t bytes) {
  const auto start = reinterpret_cast<std::uintptr_t>(first);
#ifdef MADV_HUGEPAGE
  const std::uintptr_t huge_begin = round_up(start, HUGE_PAGE);
  const std::uintptr_t huge_end = round_down(start + bytes, HUGE_PAGE);
  if (huge_end > huge_begin) {
    ::madvise(reinterpret_cast<void*>(huge_begin), huge_end - huge_begin, MADV_HUGEPAGE);
  }
#endif
#ifdef MADV_POPULATE_WRITE
  // Whole pages only: a partial page at either end may belong to another
  // allocation, and is made present by the first write anyway.
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t begin = round_up(start, page);
  const std::uintptr_t end = round_down(start + bytes, page);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
  (void)start;
}

PageBlock::PageBlock(std::int64_t doubles) {
  if (doubles < 0 || static_cast<std::uint64_t>(doubles) > SIZE_MAX / sizeof(double) - HUGE_PAGE) {
    fatal_error(FatalKind::out_of_memory, MEMORY_ALLOCATION_FAILED);
  }
  const std::size_t bytes = static_cast<std::size_t>(doubles) * sizeof(double);
  // Mapped with a huge page's worth to spare, so that the arrays can start
  // on a huge page boundary. The pages never touched cost nothing.
  const std::size_t mapped = bytes + HUGE_PAGE;
  void* const map = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) fatal_error(FatalKind::out_of_memory, MEMORY_ALLOCATION_FAILED);
  map_ = map;
  mapped_ = mapped;
  first_ = reinterpret_cast<double*>(round_up(reinterpret_cast<std::uintptr_t>(map_), HUGE_PAGE));
  prepare_pages(first_, bytes);
}

PageBlock::PageBlock(PageBlock&& other) noexcept
    : map_(std::exchange(other.map_, nullptr)),
      mapped_(std::exchange(other.mapped_, 0)),
      first_(std::exchange(other.first_, nullptr)) {}

PageBlock& PageBlock::operator=(PageBlock&& other) noexcept {
  if (this != &other) {
    if (map_ != nullptr) ::munmap(map_, mapped_);
    map_ = std::exchange(other.map_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
    first_ = std::exchange(other.first_, nullptr);
  }
  return *this;
}

PageBlock::~PageBlock() {
  if (map_ != nullptr) ::munmap(map_, mapped_);
}

}  // namespace tbx
