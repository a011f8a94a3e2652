#include "summary/sobol.hpp"

#include <algorithm>
#include <cmath>

#include "core/parallel.hpp"
#include "prob/normal.hpp"

namespace tbx {

namespace {

/// Mean and 95 % interval of the ratio mean(y) / mean(w) by the delta method.
void ratio_interval(const std::vector<double>& y, const std::vector<double>& w, double scale, double& value,
                    double& low, double& high) {
  const auto n = static_cast<double>(y.size());
  double my = 0, mw = 0;
  for (std::size_t j = 0; j < y.size(); ++j) {
    my += y[j];
    mw += w[j];
  }
  my /= n;
  mw /= n;
  double syy = 0, sww = 0, syw = 0;
  for (std::size_t j = 0; j < y.size(); ++j) {
    const double dy = y[j] - my, dw = w[j] - mw;
    syy += dy * dy;
    sww += dw * dw;
    syw += dy * dw;
  }
  syy /= n - 1;
  sww /= n - 1;
  syw /= n - 1;
  const double r = my / mw;
  const double var = (syy - 2 * r * syw + r * r * sww) / (mw * mw * n);
  const double half = normal_quantile(0.975) * std::sqrt(std::max(var, 0.0)) * scale;
  value = scale * r;
  low = value - half;
  high = value + half;
}

}  // namespace

SobolResult sobol_indices(std::int64_t n, std::size_t k,
                          const std::function<void(std::int64_t row, bool b, std::vector<double>& u)>& sample,
                          const std::function<double(const std::vector<double>& u)>& g, int threads) {
  SobolResult s;
  const std::size_t columns = k + 2;  // A, B, AB_1..AB_k
  std::vector<double> values(static_cast<std::size_t>(n) * columns);
  constexpr std::int64_t CHUNK = 256;
  for_each_chunk((n + CHUNK - 1) / CHUNK, threads, [&](std::int64_t c) {
    std::vector<double> a(k), b(k), ab(k);
    for (std::int64_t row = c * CHUNK + 1, last = std::min(n, (c + 1) * CHUNK); row <= last; ++row) {
      sample(row, false, a);
      sample(row, true, b);
      double* out = &values[static_cast<std::size_t>(row - 1) * columns];
      out[0] = g(a);
      out[1] = g(b);
      for (std::size_t i = 0; i < k; ++i) {
        ab = a;
        ab[i] = b[i];
        out[2 + i] = g(ab);
      }
    }
  });
  s.evaluations = n * static_cast<std::int64_t>(columns);
  std::vector<std::size_t> rows;
  for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j) {
    const double* v = &values[j * columns];
    if (std::all_of(v, v + columns, [](double x) { return std::isfinite(x); })) rows.push_back(j);
  }
  s.rows = static_cast<std::int64_t>(rows.size());
  if (rows.size() < 3) {
    s.reason = "fewer than three rows have a limit state that is a number in every evaluation";
    return s;
  }
  const auto m = static_cast<double>(rows.size());
  double mean = 0;
  for (const std::size_t j : rows) mean += values[j * columns] + values[j * columns + 1];
  mean /= 2 * m;
  // Per row, the variance term w = ((G(A) - mean)^2 + (G(B) - mean)^2) / 2,
  // so that V = mean(w) enters each ratio with its own scatter.
  std::vector<double> w(rows.size()), y(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const double* v = &values[rows[r] * columns];
    w[r] = 0.5 * ((v[0] - mean) * (v[0] - mean) + (v[1] - mean) * (v[1] - mean));
  }
  double variance = 0;
  for (const double x : w) variance += x;
  variance = variance * 2 / (2 * m - 1);
  s.mean = mean;
  s.variance = variance;
  if (!(variance > 0)) {
    s.reason = "G does not vary over the samples";
    return s;
  }
  // mean(w) is V (2m - 1) / (2m): the ratios are scaled back to V itself.
  const double scale = (2 * m - 1) / (2 * m);
  s.indices.resize(k);
  for (std::size_t i = 0; i < k; ++i) {
    SobolIndex& index = s.indices[i];
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const double* v = &values[rows[r] * columns];
      y[r] = v[1] * (v[2 + i] - v[0]);
    }
    ratio_interval(y, w, scale, index.first, index.first_low, index.first_high);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const double* v = &values[rows[r] * columns];
      y[r] = 0.5 * (v[0] - v[2 + i]) * (v[0] - v[2 + i]);
    }
    ratio_interval(y, w, scale, index.total, index.total_low, index.total_high);
  }
  return s;
}

}  // namespace tbx
