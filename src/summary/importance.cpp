#include <algorithm>
#include <cmath>
#include <numeric>

#include "summary/summary.hpp"

namespace tbx {

namespace {

double correlation(const std::vector<double>& x, const std::vector<double>& y) {
  const auto n = static_cast<double>(x.size());
  double mx = 0;
  double my = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    mx += x[i];
    my += y[i];
  }
  mx /= n;
  my /= n;
  double sxy = 0;
  double sxx = 0;
  double syy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double dx = x[i] - mx;
    const double dy = y[i] - my;
    sxy += dx * dy;
    sxx += dx * dx;
    syy += dy * dy;
  }
  return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0.0;
}

/// Ranks 1..n, ties sharing their mean rank.
std::vector<double> ranks(const std::vector<double>& v) {
  std::vector<std::uint32_t> order(v.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return v[a] < v[b]; });
  std::vector<double> r(v.size());
  for (std::size_t i = 0; i < order.size();) {
    std::size_t k = i + 1;
    while (k < order.size() && v[order[k]] == v[order[i]]) ++k;
    const double mean_rank = 0.5 * static_cast<double>(i + 1 + k);
    for (std::size_t m = i; m < k; ++m) r[order[m]] = mean_rank;
    i = k;
  }
  return r;
}

}  // namespace

ImportanceSummary importance_factors(const std::vector<double>& g, const std::vector<SimulationModel::Source>& sources) {
  ImportanceSummary s;
  std::vector<std::size_t> used;
  for (std::size_t j = 0; j < g.size(); ++j) {
    if (std::isfinite(g[j])) used.push_back(j);
  }
  s.used = static_cast<std::int64_t>(used.size());
  if (used.size() < 3) {
    s.reason = "fewer than three simulations have a limit state that is a number";
    return s;
  }
  auto pick = [&](const std::vector<double>& v) {
    std::vector<double> out(used.size());
    for (std::size_t k = 0; k < used.size(); ++k) out[k] = v[used[k]];
    return out;
  };
  const std::vector<double> gu = pick(g);
  const std::vector<double> g_ranks = ranks(gu);
  double norm = 0;
  for (const SimulationModel::Source& source : sources) {
    const std::vector<double> z = pick(source.z);
    ImportanceFactor f;
    f.variable = source.variable;
    f.drives = source.drives;
    f.alpha = correlation(gu, z);
    f.spearman = correlation(g_ranks, ranks(z));
    norm += f.alpha * f.alpha;
    s.factors.push_back(f);
  }
  // The correlations of a limit state that is linear in independent normal
  // variables are the direction cosines themselves; otherwise they are scaled
  // to unit length, so that the shares add up to 100 %.
  norm = std::sqrt(norm);
  for (ImportanceFactor& f : s.factors) {
    if (norm > 0) f.alpha /= norm;
    f.share = 100 * f.alpha * f.alpha;
  }
  return s;
}

}  // namespace tbx
