#pragma once
// Arrays indexed from 1, as the model's formulas are written.
//
// Storage is one zero-filled block obtained with calloc, so that a failed or
// absurd request ends the run with "Memory allocation failed" instead of an
// exception or a crash, sizes never wrap, and pages of a large array that are
// never written are never touched. A count of 0 still yields room for one
// element. Owners release arrays by destruction, or explicitly with the
// free_* operations where the release order matters.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "core/fatal.hpp"

namespace tbx {

namespace detail {
struct FreeDeleter {
  void operator()(void* p) const noexcept { std::free(p); }
};

/// Zero-filled room for `count` elements of `size` bytes, or the fatal
/// allocation error. A negative count is an allocation failure.
void* allocate_zeroed(std::int64_t count, std::size_t size);
}  // namespace detail

/// A 1-based view of `size()` contiguous elements: a vector or a matrix row.
template <typename T>
class Span1 {
 public:
  Span1(T* first, std::int64_t n) : first_(first), n_(n) {}
  T& operator[](std::int64_t i) const { return first_[i - 1]; }
  std::int64_t size() const { return n_; }
  T* begin() const { return first_; }
  T* end() const { return first_ + n_; }

 private:
  T* first_;
  std::int64_t n_;
};

template <typename T>
class Array1 {
 public:
  Array1() = default;
  explicit Array1(std::int64_t n)
      : data_(static_cast<T*>(detail::allocate_zeroed(n, sizeof(T)))), n_(n) {}

  T& operator[](std::int64_t i) { return data_.get()[i - 1]; }
  const T& operator[](std::int64_t i) const { return data_.get()[i - 1]; }
  std::int64_t size() const { return n_; }
  bool allocated() const { return data_ != nullptr; }
  T* data() { return data_.get(); }
  const T* data() const { return data_.get(); }
  operator Span1<T>() { return {data_.get(), n_}; }
  operator Span1<const T>() const { return {data_.get(), n_}; }
  void release() {
    data_.reset();
    n_ = 0;
  }

 private:
  std::unique_ptr<T, detail::FreeDeleter> data_;
  std::int64_t n_ = 0;
};

using RealVector = Array1<double>;
using IntVector = Array1<std::int32_t>;

/// rows x cols reals in one block, row after row; [i][j] is element
/// (i - 1) * cols + (j - 1) of the block, and a row can be handed on as a
/// 1-based vector of cols reals.
class RealMatrix {
 public:
  RealMatrix() = default;
  RealMatrix(std::int64_t rows, std::int64_t cols);

  Span1<double> operator[](std::int64_t i) { return {block_.data() + (i - 1) * cols_, cols_}; }
  Span1<const double> operator[](std::int64_t i) const {
    return {block_.data() + (i - 1) * cols_, cols_};
  }
  std::int64_t rows() const { return rows_; }
  std::int64_t cols() const { return cols_; }
  bool allocated() const { return block_.allocated(); }
  void release() {
    block_.release();
    rows_ = cols_ = 0;
  }

 private:
  Array1<double> block_;
  std::int64_t rows_ = 0;
  std::int64_t cols_ = 0;
};

// The named operations of the array conventions.
inline void alloc_vector(RealVector& v, std::int64_t n) { v = RealVector(n); }
inline void alloc_ivector(IntVector& v, std::int64_t n) { v = IntVector(n); }
inline void alloc_matrix(RealMatrix& m, std::int64_t rows, std::int64_t cols) {
  m = RealMatrix(rows, cols);
}
void free_vector(RealVector& v);
void free_ivector(IntVector& v);
void free_matrix(RealMatrix& m);

}  // namespace tbx
