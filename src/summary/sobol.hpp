#pragma once
// Variance-based sensitivity: first-order and total Sobol indices of a model
// of independent inputs, by pick-freeze sampling. Two samples A and B of n
// rows; for each input i, AB_i is A with column i taken from B. Then, with V
// the variance of G over A and B together,
//   S_i  = mean(G(B) (G(AB_i) - G(A))) / V          (Saltelli 2010)
//   ST_i = mean((G(A) - G(AB_i))^2) / (2 V)          (Jansen 1999)
// with 95 % intervals from the central limit theorem and the delta method
// (the estimator's own scatter: Monte Carlo uncertainty only).
// The n (k + 2) evaluations run in fixed chunks on any number of threads and
// are reduced in row order, so the indices have the same bits at any thread
// count.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tbx {

struct SobolIndex {
  double first = 0, first_low = 0, first_high = 0;
  double total = 0, total_low = 0, total_high = 0;
};

struct SobolResult {
  std::string reason;  ///< non-empty where no index was computed: why
  std::int64_t rows = 0;      ///< rows used (G a number in every evaluation of the row)
  std::int64_t evaluations = 0;
  double mean = 0, variance = 0;  ///< of G over A and B
  std::vector<SobolIndex> indices;
};

/// `sample(row, b, u)`: the k inputs of row 1..n of sample A (b false) or B (b true),
/// as numbers in (0, 1), into u[0..k-1]. `g(u)`: the model at such inputs.
/// Both are called concurrently from up to `threads` threads.
SobolResult sobol_indices(std::int64_t n, std::size_t k,
                          const std::function<void(std::int64_t row, bool b, std::vector<double>& u)>& sample,
                          const std::function<double(const std::vector<double>& u)>& g, int threads);

}  // namespace tbx
