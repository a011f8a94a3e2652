#pragma once
// Large per-simulation vectors whose pages are made present in one request
// before they are first written (see prepare_pages): on the machines this
// runs on, faulting fresh pages one at a time costs more than the analysis
// that fills them.

#include <vector>

#include "core/pages.hpp"

namespace tbx {

/// v.resize(n), the new pages prepared first. Values are as resize leaves them.
template <typename T>
void prepared_resize(std::vector<T>& v, std::size_t n, const T& value = T()) {
  if (n > v.capacity()) {
    std::vector<T> fresh;
    fresh.reserve(n);
    prepare_pages(fresh.data(), n * sizeof(T));
    fresh.assign(v.begin(), v.end());
    v.swap(fresh);
  }
  v.resize(n, value);
}

}  // namespace tbx
